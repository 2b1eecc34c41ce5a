// A view that shows web pages in a place of a host window, and CHtmlBrower, a view with a
// navigation switch.
//
// As with CWebBrowser, there is no framework window class here: the host's window layer makes
// the place (platform::Window::AddHostedControl) and the view creates its browser in the place's
// native parent, filling it. Everything runs on the user-interface thread that created the view.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "harbex/HarbexApi.h"

namespace platform {
class BrowserView;
}

class HARBEX_API CHtmlView {
public:
    CHtmlView();
    virtual ~CHtmlView();
    CHtmlView(const CHtmlView&) = delete;
    CHtmlView& operator=(const CHtmlView&) = delete;

    // Creates the browser in `pParentWnd`, the native parent of a hosted control
    // (platform::HostedControl::NativeParent()), then calls OnInitialUpdate. Nonzero on success;
    // zero when there is no parent, the browser cannot be made here, or the view has one.
    virtual int Create(void* pParentWnd);

    // True while the view has its browser.
    bool HasWindow() const;

    // Starts loading an address (ANSI code page); every navigation, this one too, is first put
    // to OnBeforeNavigate2. False without a browser or when the load could not be started.
    bool Navigate(std::string_view url);

    // Asked before the view goes to an address, its own or one the page goes to (a link, a
    // form, a frame). Setting *pbCancel to true keeps the view where it is. The view's own
    // answer lets every navigation go. Posted data is empty on Linux, where WebKit does not
    // show it.
    virtual void OnBeforeNavigate2(const char* lpszURL, std::uint32_t nFlags,
                                   const char* lpszTargetFrameName,
                                   const std::vector<std::uint8_t>& baPostedData,
                                   const char* lpszHeaders, bool* pbCancel);

protected:
    // Called once the view has its browser; nothing by default.
    virtual void OnInitialUpdate();

    // Takes `view` as the view's browser, as Create does with the one it makes: for hosts that
    // bring their own, and for tests.
    int Attach(std::unique_ptr<platform::BrowserView> view);

private:
    std::unique_ptr<platform::BrowserView> m_view;
};

// A view that shows addresses only while its navigation switch is on. While it is off, the
// address last given is remembered; turning the switch on goes there, turning it off forgets it.
class HARBEX_API CHtmlBrower : public CHtmlView {
public:
    CHtmlBrower();
    ~CHtmlBrower() override;

    // Remembers `url` and goes there when the switch is on and the view has its browser.
    void Navigate(const char* url);

    // Sets the switch and returns its new value. A switch already in that position changes
    // nothing. Turned on, the view goes to the remembered address; turned off, it forgets it and
    // the page on show stays.
    bool EnableBrowser(bool enable);

    // Lets every navigation go, as the view does; here for classes derived from this one.
    void OnBeforeNavigate2(const char* lpszURL, std::uint32_t nFlags,
                           const char* lpszTargetFrameName,
                           const std::vector<std::uint8_t>& baPostedData, const char* lpszHeaders,
                           bool* pbCancel) override;

protected:
    // An address given while the switch was on but before the browser existed is shown now.
    void OnInitialUpdate() override;

private:
    void ShowPendingUrl();

    bool m_bNavigationOn;
    std::string m_strPendingUrl;
};
