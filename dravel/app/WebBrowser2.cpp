#include "WebBrowser2.h"

#include <climits>

#include "platform/Paths.h"

namespace dravel::app {

bool CWebBrowser2::Create(platform::Window& parent, int32_t id, platform::Rect bounds) {
    m_pPlace = parent.AddHostedControl(id, bounds);
    if (m_pPlace == nullptr) {
        return false;
    }
    m_view = platform::BrowserView::Create(m_pPlace->NativeParent());
    if (m_view != nullptr) {
        m_view->SetSilent(true);
    }
    return true;
}

void CWebBrowser2::MoveWindow(platform::Rect bounds) {
    if (m_pPlace != nullptr) {
        m_pPlace->SetBounds(bounds);
    }
}

bool CWebBrowser2::Navigate(const std::string& address) {
    m_address = address;
    return m_view != nullptr && m_view->Navigate(address);
}

std::string LocalPage(const std::string& programFolder, const std::string& page) {
    std::string path = programFolder + page;
    for (std::size_t i = programFolder.size(); i < path.size(); ++i) {
        if (path[i] == '\\' || path[i] == '/') {
            path[i] = platform::kPathSeparator;
        }
    }
    return path;
}

int TipPageId(const std::string& manifestName) {
    long long number = 0;
    std::size_t i = 0;
    for (; i < manifestName.size() && manifestName[i] >= '0' && manifestName[i] <= '9'; ++i) {
        number = number * 10 + (manifestName[i] - '0');
        if (number > INT_MAX) {
            return 0;
        }
    }
    return i == 0 ? 0 : static_cast<int>(number);
}

std::string TipPageAddress(const std::string& programFolder, const std::string& manifestName) {
    return LocalPage(programFolder, "tip/tip.html") +
           "?id=" + std::to_string(TipPageId(manifestName));
}

std::string SplashPageAddress(const std::string& programFolder) {
    return LocalPage(programFolder, "help/logo.html");
}

}  // namespace dravel::app
