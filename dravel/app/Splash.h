// The splash window shown while the lobby's own manifest is checked: a browser with the local
// page help/logo.html, 500x275 pixels, centred.
#pragma once

#include <memory>
#include <string>

#include "WebBrowser2.h"
#include "platform/Window.h"

namespace dravel::app {

class CSplash : public platform::WindowHandler {
public:
    CSplash() = default;
    ~CSplash() override;
    CSplash(const CSplash&) = delete;
    CSplash& operator=(const CSplash&) = delete;

    // Makes the window in front of `owner` and opens the page; false without a display.
    bool Create(platform::Window* owner, const std::string& programFolder);
    void ShowWindow(bool show);
    bool IsVisible() const;
    void DestroyWindow();

    platform::Window* Window() const { return m_window.get(); }
    const CWebBrowser2& Browser() const { return m_browser; }

    // Behind the page, for platforms that render none.
    void OnPaint(platform::Canvas& canvas) override;

private:
    std::unique_ptr<platform::Window> m_window;
    CWebBrowser2 m_browser;
};

}  // namespace dravel::app
