// The web browser control as a child of a host window (platform::BrowserView underneath).
//
// There is no framework window class here: the host's window layer makes the place
// (platform::Window::AddHostedControl) and CWebBrowser creates the control in that place's native
// parent, filling it. The window layer keeps the place's position, size and visibility, so moving
// or hiding the browser is moving or hiding the hosted control.
//
// Windows: every automation operation makes one IDispatch::Invoke of the control with the
// operation's fixed dispatch id (those of IWebBrowser2). Strings are given and returned in the
// ANSI code page, BOOL values are int (nonzero is true), an interface pointer returned is a
// counted reference the caller releases, and a VARIANT returned is the caller's to clear. A null
// VARIANT* argument is passed as an omitted optional argument. A failed invocation, and any
// operation while there is no control, throws harbex::DispatchError on the caller's thread; the
// wrapper does not catch it.
// Linux (WebKitGTK): the operations that have a meaning for a web view, none of which throws;
// with no control they do nothing and getters return empty values.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "harbex/DocHostUI.h"
#include "harbex/HarbexApi.h"
#include "platform/Image.h"

#if defined(_WIN32)
#include "harbex/BrowserCom_win.h"
#else
typedef struct _WebKitWebView WebKitWebView;
#endif

namespace platform {
class BrowserView;
}

namespace harbex {

class WebBridge;

// A failed automation call of CWebBrowser: the control refused it (Code() is its HRESULT, or
// the script exception's code), or there was no control.
class HARBEX_API DispatchError : public std::runtime_error {
public:
    DispatchError(std::string_view operation, int32_t code);
    ~DispatchError() override;
    int32_t Code() const noexcept { return m_code; }

private:
    int32_t m_code;
};

}  // namespace harbex

class HARBEX_API CWebBrowser {
public:
    CWebBrowser();
    // Destroys the control; the host's handler and external object may go after it.
    virtual ~CWebBrowser();
    CWebBrowser(const CWebBrowser&) = delete;
    CWebBrowser& operator=(const CWebBrowser&) = delete;

    // Creates the control in `pParentWnd`, the native parent of a hosted control
    // (platform::HostedControl::NativeParent()), filling it. The framework's other arguments keep
    // their places but the window layer already holds what they stood for: the window name
    // (the control has no caption), the style (the hosted control is a visible child unless the
    // host hides it), the rectangle (the hosted control's bounds) and the child id (the hosted
    // control's id) are not used. Nonzero on success; zero when there is no parent, the control
    // cannot be made on this system (under Wine without an HTML engine it may fail), or a control
    // exists already.
    virtual int Create(const char* lpszWindowName, uint32_t dwStyle, const platform::Rect& rect,
                       void* pParentWnd, uint32_t nID);

    // Installs the host's document handler. Windows: the handler is offered by the control's
    // client site to every document and set on the current one through ICustomDoc (so navigate
    // to "about:blank" first); nonzero when the current document took it. Linux: the page's
    // window.external becomes handler.GetExternal() (asked once, here) for the pages loaded from
    // now on; nonzero when that external exists and was wired. Not counted: the handler and its
    // external object must live until the control is destroyed.
    int InstallUIHandler(DocHostUI& handler);

    // Calls the page's MessageProxy with the one string "<id>,<text>" (the text given in the ANSI
    // code page). Lost silently when no document is loaded or it has no MessageProxy; results and
    // script errors are ignored, and nothing is thrown. False only when the page could not be
    // asked at all: no control, or its engine no longer runs (a crashed page process).
    bool CallPage(int32_t id, std::string_view ansiText);

    // The automation operations that every platform has.
    void GoBack();
    void GoForward();
    void Refresh();
    void Stop();
    std::string get_LocationName();
    std::string get_LocationURL();
    int get_Busy();
    // Script error dialogs off (nonzero) or on. WebKit shows none: nothing to do on Linux.
    void put_Silent(int bNewValue);

#if defined(_WIN32)
    // The platform's web browser class id {8856F961-340A-11D0-A96B-00C04FD705A2}.
    static const CLSID& GetClsid();
    // The control's IUnknown, not counted; null without a control.
    IUnknown* GetControlUnknown() const;

    void Navigate(std::string_view URL, VARIANT* Flags = nullptr,
                  VARIANT* TargetFrameName = nullptr, VARIANT* PostData = nullptr,
                  VARIANT* Headers = nullptr);
    void GoHome();
    void GoSearch();
    void Refresh2(VARIANT* Level);
    IDispatch* get_Application();
    IDispatch* get_Parent();
    IDispatch* get_Container();
    IDispatch* get_Document();
    int get_TopLevelContainer();
    std::string get_Type();
    long get_Left();
    void put_Left(long nNewValue);
    long get_Top();
    void put_Top(long nNewValue);
    long get_Width();
    void put_Width(long nNewValue);
    long get_Height();
    void put_Height(long nNewValue);
    void Quit();
    void ClientToWindow(long* pcx, long* pcy);
    void PutProperty(std::string_view Property, const VARIANT& vtValue);
    VARIANT GetProperty(std::string_view Property);
    std::string get_Name();
    long get_HWND();
    std::string get_FullName();
    std::string get_Path();
    int get_Visible();
    void put_Visible(int bNewValue);
    int get_StatusBar();
    void put_StatusBar(int bNewValue);
    std::string get_StatusText();
    void put_StatusText(std::string_view lpszNewValue);
    long get_ToolBar();
    void put_ToolBar(long nNewValue);
    int get_MenuBar();
    void put_MenuBar(int bNewValue);
    int get_FullScreen();
    void put_FullScreen(int bNewValue);
    void Navigate2(VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                   VARIANT* Headers);
    long QueryStatusWB(long cmdID);
    void ExecWB(long cmdID, long cmdexecopt, VARIANT* pvaIn, VARIANT* pvaOut);
    void ShowBrowserBar(VARIANT* pvaClsid, VARIANT* pvarShow, VARIANT* pvarSize);
    long get_ReadyState();
    int get_Offline();
    void put_Offline(int bNewValue);
    int get_Silent();
    int get_RegisterAsBrowser();
    void put_RegisterAsBrowser(int bNewValue);
    int get_RegisterAsDropTarget();
    void put_RegisterAsDropTarget(int bNewValue);
    int get_TheaterMode();
    void put_TheaterMode(int bNewValue);
    int get_AddressBar();
    void put_AddressBar(int bNewValue);
    int get_Resizable();
    void put_Resizable(int bNewValue);
#else
    // Starts loading an address (ANSI): http(s), file and about addresses as they are, an
    // absolute local path ("/...?query") as a file:// address keeping its query.
    void Navigate(std::string_view URL);
    // The view, for the host's own WebKit wiring; null without a control.
    WebKitWebView* GetWebView() const;
#endif

private:
#if defined(_WIN32)
    // The control's automation interface; throws harbex::DispatchError without a control.
    IDispatch* Control(std::string_view operation) const;
#endif

    std::unique_ptr<platform::BrowserView> m_view;
#if !defined(_WIN32)
    std::unique_ptr<harbex::WebBridge> m_bridge;  // destroyed before the view
#endif
};
