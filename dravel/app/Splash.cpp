#include "Splash.h"

#include "Progress.h"

namespace dravel::app {

CSplash::~CSplash() {
    DestroyWindow();
}

bool CSplash::Create(platform::Window* owner, const std::string& programFolder) {
    if (m_window != nullptr) {
        return true;
    }
    platform::WindowOptions options;
    options.title = "Dravel";
    options.width = kSplashWidth;
    options.height = kSplashHeight;
    options.taskbar = false;
    options.owner = owner;
    m_window = platform::Window::Create(*this, options);
    if (m_window == nullptr) {
        return false;
    }
    m_window->SetBounds({0, 0, kSplashWidth, kSplashHeight});
    m_window->CenterOnScreen();
    m_browser.Create(*m_window, IDC_BROWSER, {0, 0, 0, 0});
    m_browser.Navigate("about:blank");
    m_browser.MoveWindow({0, 0, kSplashWidth, kSplashHeight});
    m_browser.Navigate(SplashPageAddress(programFolder));
    return true;
}

void CSplash::ShowWindow(bool show) {
    if (m_window == nullptr) {
        return;
    }
    if (show) {
        m_window->Show();
    } else {
        m_window->Hide();
    }
}

bool CSplash::IsVisible() const {
    return m_window != nullptr && m_window->IsVisible();
}

void CSplash::DestroyWindow() {
    m_browser = CWebBrowser2();  // the view goes before the place it lives in
    m_window.reset();
}

void CSplash::OnPaint(platform::Canvas& canvas) {
    canvas.FillRect({0, 0, kSplashWidth, kSplashHeight}, platform::MakeRgb(0x1b, 0x2f, 0x5e));
}

}  // namespace dravel::app
