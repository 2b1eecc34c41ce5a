// CWebBrowser on WebKitGTK: the operations that a web view has, and the script bridge.
#include <webkit2/webkit2.h>

#include "WebBridge_gtk.h"
#include "harbex/WebBrowser.h"
#include "platform/Browser.h"
#include "platform/CodePage.h"

namespace {

std::string ToAnsi(const gchar* utf8) {
    return utf8 == nullptr ? std::string() : platform::Utf8ToAnsi(utf8);
}

}  // namespace

CWebBrowser::CWebBrowser() = default;

CWebBrowser::~CWebBrowser() {
    // The bridge holds the view's content manager and must go first.
    m_bridge.reset();
    m_view.reset();
}

WebKitWebView* CWebBrowser::GetWebView() const {
    return m_view != nullptr ? static_cast<WebKitWebView*>(m_view->NativeEngine()) : nullptr;
}

int CWebBrowser::InstallUIHandler(DocHostUI& handler) {
    WebKitWebView* view = GetWebView();
    JsExternal* external = handler.GetExternal();
    if (view == nullptr || external == nullptr) {
        return 0;
    }
    // A second handler replaces the first one's bridge.
    m_bridge.reset();
    m_bridge = std::make_unique<harbex::WebBridge>(view, *external);
    if (!m_bridge->IsInstalled()) {
        m_bridge.reset();
        return 0;
    }
    return 1;
}

bool CWebBrowser::CallPage(int32_t id, std::string_view ansiText) {
    if (GetWebView() == nullptr || !m_view->EngineRuns()) {
        return false;  // never created, its place is gone, or its page process ended
    }
    try {
        if (m_bridge != nullptr) {
            m_bridge->CallPage(id, ansiText);
            return true;
        }
        return m_view->CallPageFunction(
            "MessageProxy",
            platform::AnsiToUtf16(std::to_string(id) + "," + std::string(ansiText)));
    } catch (...) {
        return true;  // out of memory: lost like a notice to a page without MessageProxy
    }
}

void CWebBrowser::Navigate(std::string_view URL) {
    if (m_view != nullptr) {
        m_view->Navigate(URL);
    }
}

void CWebBrowser::GoBack() {
    if (WebKitWebView* view = GetWebView()) {
        webkit_web_view_go_back(view);
    }
}

void CWebBrowser::GoForward() {
    if (WebKitWebView* view = GetWebView()) {
        webkit_web_view_go_forward(view);
    }
}

void CWebBrowser::Refresh() {
    if (WebKitWebView* view = GetWebView()) {
        webkit_web_view_reload(view);
    }
}

void CWebBrowser::Stop() {
    if (WebKitWebView* view = GetWebView()) {
        webkit_web_view_stop_loading(view);
    }
}

std::string CWebBrowser::get_LocationName() {
    WebKitWebView* view = GetWebView();
    return view != nullptr ? ToAnsi(webkit_web_view_get_title(view)) : std::string();
}

std::string CWebBrowser::get_LocationURL() {
    WebKitWebView* view = GetWebView();
    return view != nullptr ? ToAnsi(webkit_web_view_get_uri(view)) : std::string();
}

int CWebBrowser::get_Busy() {
    WebKitWebView* view = GetWebView();
    return view != nullptr && webkit_web_view_is_loading(view) ? 1 : 0;
}

void CWebBrowser::put_Silent(int /*bNewValue*/) {}
