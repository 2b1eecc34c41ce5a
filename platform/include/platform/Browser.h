// The platform's web browser control, embedded in a native parent that the window layer made for
// it (HostedControl::NativeParent()) and filling that parent.
//
// Win32: the WebBrowser control (IWebBrowser2) in-place active in our own small OLE container;
// the control follows the parent window's size. Where the system has no HTML engine (Wine),
// creation or navigation fails and the view shows nothing.
// GTK: a WebKitWebView added to the parent container.
//
// Everything runs on the user-interface thread that created the view.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The COM interface a Windows host hands over (declared by the Windows headers; never defined
// elsewhere).
struct IDocHostUIHandler;

namespace platform {

// A navigation the browser is about to make: one asked for with Navigate, or the page's own (a
// link, a form, a script, a frame).
struct NavigationRequest {
    std::string url;                     // in the ANSI code page
    std::uint32_t flags = 0;             // the engine's navigation flags; none on Linux
    std::string targetFrame;             // the frame's name; empty for the page itself
    std::vector<std::uint8_t> postData;  // a form's posted bytes; WebKit does not show them
    std::string headers;                 // extra request headers, "Name: value\r\n" each
};

// Answers whether a navigation is to be cancelled (true) or to go on.
using NavigationFilter = std::function<bool(const NavigationRequest&)>;

class BrowserView {
public:
    // A browser filling `nativeParent`. Null when the parent is not a native parent of the
    // window layer or the platform could not make the control.
    static std::unique_ptr<BrowserView> Create(void* nativeParent);
    virtual ~BrowserView() = default;
    BrowserView(const BrowserView&) = delete;
    BrowserView& operator=(const BrowserView&) = delete;

    // Starts loading an address given in the ANSI code page: http(s), file and about addresses
    // as they are; on Linux an absolute local path ("/...", with an optional "?query") becomes a
    // file:// address that keeps the query. False when the load could not be started.
    virtual bool Navigate(std::string_view ansiUrl) = 0;

    // Asks `filter` before every navigation from now on; an empty filter lets all go. The
    // filter runs on the user-interface thread, and anything it throws lets the navigation go.
    virtual void SetNavigationFilter(NavigationFilter filter) = 0;

    // Suppresses the control's script error and other dialogs (Win32). WebKit shows none.
    virtual void SetSilent(bool silent) = 0;

    // Win32: offers `handler` to the documents the control shows from now on, and installs it
    // on the current document. True when the current document took it; the handler is not
    // counted and must outlive the view. Linux: there is no such handler; false.
    virtual bool InstallUIHandler(IDocHostUIHandler* handler) = 0;

    // Calls the page's global script function `name` with one string argument. Lost silently
    // when no document is loaded or it has no such function; results and errors are ignored.
    // False only when the engine itself could not be asked: it no longer runs (below), or
    // (Win32) the control failed to hand out its document.
    virtual bool CallPageFunction(std::string_view name, std::u16string_view text) = 0;

    // False once nothing can run the page's scripts: the parent was destroyed under the view,
    // or (Linux) the page's process ended and no page has loaded since.
    virtual bool EngineRuns() const = 0;

    // The engine's own object, not counted and valid while the view lives: the control's
    // IDispatch (its IWebBrowser2) on Win32, the WebKitWebView* on Linux. Null once the parent
    // has been destroyed under the view.
    virtual void* NativeEngine() const = 0;

protected:
    BrowserView() = default;
};

}  // namespace platform
