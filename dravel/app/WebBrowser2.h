// The updater's browser: the platform's browser view in a place the window keeps for it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Browser.h"
#include "platform/Window.h"

namespace dravel::app {

class CWebBrowser2 {
public:
    // Makes the place (control `id` at `bounds`) and the browser in it. False when the window
    // could not make the place; a platform without an HTML engine still gets the place and
    // shows nothing.
    bool Create(platform::Window& parent, int32_t id, platform::Rect bounds);
    void MoveWindow(platform::Rect bounds);
    // Starts loading `address` (ANSI). Remembered even when no engine could load it.
    bool Navigate(const std::string& address);
    // The address last asked for.
    const std::string& LocationURL() const { return m_address; }
    bool HasEngine() const { return m_view != nullptr; }
    platform::HostedControl* Control() const { return m_pPlace; }

private:
    platform::HostedControl* m_pPlace = nullptr;  // owned by the window
    std::unique_ptr<platform::BrowserView> m_view;
    std::string m_address;
};

// The local page "<folder><page>", the folder ending with a separator, with the platform's
// separator between its folders ("tip\\tip.html" on Windows, "tip/tip.html" elsewhere).
std::string LocalPage(const std::string& programFolder, const std::string& page);

// The tip page for a manifest: id 0 for the lobby's own "Update.xml", otherwise the number the
// name starts with ("37_Update.xml" gives 37). A name that starts with no number gets 0, the
// lobby's page, rather than a number nobody chose.
int TipPageId(const std::string& manifestName);
std::string TipPageAddress(const std::string& programFolder, const std::string& manifestName);
std::string SplashPageAddress(const std::string& programFolder);

}  // namespace dravel::app
