#include "harbex/HtmlView.h"

#include <utility>

#include "platform/Browser.h"

CHtmlView::CHtmlView() = default;

CHtmlView::~CHtmlView() = default;

int CHtmlView::Create(void* pParentWnd) {
    if (m_view != nullptr) {
        return 0;
    }
    return Attach(platform::BrowserView::Create(pParentWnd));
}

int CHtmlView::Attach(std::unique_ptr<platform::BrowserView> view) {
    if (m_view != nullptr || view == nullptr) {
        return 0;
    }
    m_view = std::move(view);
    m_view->SetNavigationFilter([this](const platform::NavigationRequest& request) {
        bool cancel = false;
        OnBeforeNavigate2(request.url.c_str(), request.flags, request.targetFrame.c_str(),
                          request.postData, request.headers.c_str(), &cancel);
        return cancel;
    });
    OnInitialUpdate();
    return 1;
}

bool CHtmlView::HasWindow() const {
    return m_view != nullptr && m_view->NativeEngine() != nullptr;
}

bool CHtmlView::Navigate(std::string_view url) {
    return HasWindow() && m_view->Navigate(url);
}

void CHtmlView::OnBeforeNavigate2(const char* /*lpszURL*/, std::uint32_t /*nFlags*/,
                                  const char* /*lpszTargetFrameName*/,
                                  const std::vector<std::uint8_t>& /*baPostedData*/,
                                  const char* /*lpszHeaders*/, bool* /*pbCancel*/) {}

void CHtmlView::OnInitialUpdate() {}

CHtmlBrower::CHtmlBrower() : m_bNavigationOn(false) {}

CHtmlBrower::~CHtmlBrower() = default;

void CHtmlBrower::Navigate(const char* url) {
    m_strPendingUrl = url != nullptr ? url : "";
    if (m_bNavigationOn) {
        ShowPendingUrl();
    }
}

bool CHtmlBrower::EnableBrowser(bool enable) {
    if (enable == m_bNavigationOn) {
        return m_bNavigationOn;
    }
    m_bNavigationOn = enable;
    if (m_bNavigationOn) {
        ShowPendingUrl();
    } else {
        m_strPendingUrl.clear();
    }
    return m_bNavigationOn;
}

void CHtmlBrower::OnBeforeNavigate2(const char* lpszURL, std::uint32_t nFlags,
                                    const char* lpszTargetFrameName,
                                    const std::vector<std::uint8_t>& baPostedData,
                                    const char* lpszHeaders, bool* pbCancel) {
    CHtmlView::OnBeforeNavigate2(lpszURL, nFlags, lpszTargetFrameName, baPostedData, lpszHeaders,
                                 pbCancel);
}

void CHtmlBrower::OnInitialUpdate() {
    CHtmlView::OnInitialUpdate();
    if (m_bNavigationOn) {
        ShowPendingUrl();
    }
}

// Without a browser the address stays remembered, and OnInitialUpdate shows it.
void CHtmlBrower::ShowPendingUrl() {
    if (HasWindow() && !m_strPendingUrl.empty()) {
        CHtmlView::Navigate(m_strPendingUrl);
    }
}
