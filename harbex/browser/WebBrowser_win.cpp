// CWebBrowser on Windows: each operation is one IDispatch::Invoke of the WebBrowser control
// with the operation's dispatch id, through harbex::dispatch::Invoke.
#include "browser/Dispatch_win.h"
#include "harbex/WebBrowser.h"
#include "platform/Browser.h"
#include "platform/CodePage.h"

namespace {

using namespace harbex::dispatch;

constexpr CLSID kWebBrowserClassId = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

}  // namespace

CWebBrowser::CWebBrowser() = default;

CWebBrowser::~CWebBrowser() = default;

const CLSID& CWebBrowser::GetClsid() {
    static const CLSID clsid = kWebBrowserClassId;
    return clsid;
}

IUnknown* CWebBrowser::GetControlUnknown() const {
    return m_view != nullptr ? static_cast<IDispatch*>(m_view->NativeEngine()) : nullptr;
}

IDispatch* CWebBrowser::Control(std::string_view operation) const {
    IDispatch* control =
        m_view != nullptr ? static_cast<IDispatch*>(m_view->NativeEngine()) : nullptr;
    if (control == nullptr) {
        throw harbex::DispatchError(operation, E_UNEXPECTED);
    }
    return control;
}

int CWebBrowser::InstallUIHandler(DocHostUI& handler) {
    return m_view != nullptr && m_view->InstallUIHandler(&handler) ? 1 : 0;
}

bool CWebBrowser::CallPage(int32_t id, std::string_view ansiText) {
    if (m_view == nullptr) {
        return false;
    }
    try {
        std::u16string text = platform::AnsiToUtf16(std::to_string(id) + ",");
        text += platform::AnsiToUtf16(ansiText);
        return m_view->CallPageFunction("MessageProxy", text);
    } catch (...) {
        return true;  // out of memory: lost like a notice to a page without MessageProxy
    }
}

// Methods.

#define HARBEX_METHOD(name, id)                          \
    void CWebBrowser::name() {                           \
        Invoke(Control(#name), #name, id, Kind::Method); \
    }

HARBEX_METHOD(GoBack, 100)
HARBEX_METHOD(GoForward, 101)
HARBEX_METHOD(GoHome, 102)
HARBEX_METHOD(GoSearch, 103)
HARBEX_METHOD(Refresh, -550)
HARBEX_METHOD(Stop, 106)
HARBEX_METHOD(Quit, 300)

#undef HARBEX_METHOD

void CWebBrowser::Navigate(std::string_view URL, VARIANT* Flags, VARIANT* TargetFrameName,
                           VARIANT* PostData, VARIANT* Headers) {
    InvokeNavigation(Control("Navigate"), "Navigate", 104, Variant::String(URL), Flags,
                     TargetFrameName, PostData, Headers);
}

void CWebBrowser::Refresh2(VARIANT* Level) {
    const Variant level = Variant::Ref(Level);
    Invoke(Control("Refresh2"), "Refresh2", 105, Kind::Method, {&level});
}

void CWebBrowser::ClientToWindow(long* pcx, long* pcy) {
    const Variant cx = Variant::LongRef(pcx);
    const Variant cy = Variant::LongRef(pcy);
    Invoke(Control("ClientToWindow"), "ClientToWindow", 301, Kind::Method, {&cx, &cy});
}

void CWebBrowser::PutProperty(std::string_view Property, const VARIANT& vtValue) {
    const Variant name = Variant::String(Property);
    const Variant value = Variant::Borrow(vtValue);
    Invoke(Control("PutProperty"), "PutProperty", 302, Kind::Method, {&name, &value});
}

VARIANT CWebBrowser::GetProperty(std::string_view Property) {
    const Variant name = Variant::String(Property);
    return Invoke(Control("GetProperty"), "GetProperty", 303, Kind::Method, {&name}).Release();
}

void CWebBrowser::Navigate2(VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName,
                            VARIANT* PostData, VARIANT* Headers) {
    InvokeNavigation(Control("Navigate2"), "Navigate2", 500, Variant::Ref(URL), Flags,
                     TargetFrameName, PostData, Headers);
}

long CWebBrowser::QueryStatusWB(long cmdID) {
    const Variant command = Variant::Long(cmdID);
    return AsLong(Invoke(Control("QueryStatusWB"), "QueryStatusWB", 501, Kind::Method, {&command}),
                  "QueryStatusWB");
}

void CWebBrowser::ExecWB(long cmdID, long cmdexecopt, VARIANT* pvaIn, VARIANT* pvaOut) {
    const Variant command = Variant::Long(cmdID);
    const Variant option = Variant::Long(cmdexecopt);
    const Variant in = Variant::Ref(pvaIn);
    const Variant out = Variant::Ref(pvaOut);
    Invoke(Control("ExecWB"), "ExecWB", 502, Kind::Method, {&command, &option, &in, &out});
}

void CWebBrowser::ShowBrowserBar(VARIANT* pvaClsid, VARIANT* pvarShow, VARIANT* pvarSize) {
    const Variant clsid = Variant::Ref(pvaClsid);
    const Variant show = Variant::Ref(pvarShow);
    const Variant size = Variant::Ref(pvarSize);
    Invoke(Control("ShowBrowserBar"), "ShowBrowserBar", 503, Kind::Method, {&clsid, &show, &size});
}

// Properties.

#define HARBEX_GET(type, as, name, id)                                                       \
    type CWebBrowser::get_##name() {                                                         \
        return as(Invoke(Control("get_" #name), "get_" #name, id, Kind::Get), "get_" #name); \
    }
#define HARBEX_PUT(type, make, name, id)                                         \
    void CWebBrowser::put_##name(type value) {                                   \
        const Variant argument = Variant::make(value);                           \
        Invoke(Control("put_" #name), "put_" #name, id, Kind::Put, {&argument}); \
    }

HARBEX_GET(IDispatch*, AsDispatch, Application, 200)
HARBEX_GET(IDispatch*, AsDispatch, Parent, 201)
HARBEX_GET(IDispatch*, AsDispatch, Container, 202)
HARBEX_GET(IDispatch*, AsDispatch, Document, 203)
HARBEX_GET(int, AsBool, TopLevelContainer, 204)
HARBEX_GET(std::string, AsString, Type, 205)
HARBEX_GET(long, AsLong, Left, 206)
HARBEX_PUT(long, Long, Left, 206)
HARBEX_GET(long, AsLong, Top, 207)
HARBEX_PUT(long, Long, Top, 207)
HARBEX_GET(long, AsLong, Width, 208)
HARBEX_PUT(long, Long, Width, 208)
HARBEX_GET(long, AsLong, Height, 209)
HARBEX_PUT(long, Long, Height, 209)
HARBEX_GET(std::string, AsString, LocationName, 210)
HARBEX_GET(std::string, AsString, LocationURL, 211)
HARBEX_GET(int, AsBool, Busy, 212)
HARBEX_GET(std::string, AsString, Name, 0)
HARBEX_GET(long, AsLong, HWND, -515)
HARBEX_GET(std::string, AsString, FullName, 400)
HARBEX_GET(std::string, AsString, Path, 401)
HARBEX_GET(int, AsBool, Visible, 402)
HARBEX_PUT(int, Bool, Visible, 402)
HARBEX_GET(int, AsBool, StatusBar, 403)
HARBEX_PUT(int, Bool, StatusBar, 403)
HARBEX_GET(std::string, AsString, StatusText, 404)
HARBEX_PUT(std::string_view, String, StatusText, 404)
HARBEX_GET(long, AsLong, ToolBar, 405)
HARBEX_PUT(long, Long, ToolBar, 405)
HARBEX_GET(int, AsBool, MenuBar, 406)
HARBEX_PUT(int, Bool, MenuBar, 406)
HARBEX_GET(int, AsBool, FullScreen, 407)
HARBEX_PUT(int, Bool, FullScreen, 407)
HARBEX_GET(long, AsLong, ReadyState, -525)
HARBEX_GET(int, AsBool, Offline, 550)
HARBEX_PUT(int, Bool, Offline, 550)
HARBEX_GET(int, AsBool, Silent, 551)
HARBEX_PUT(int, Bool, Silent, 551)
HARBEX_GET(int, AsBool, RegisterAsBrowser, 552)
HARBEX_PUT(int, Bool, RegisterAsBrowser, 552)
HARBEX_GET(int, AsBool, RegisterAsDropTarget, 553)
HARBEX_PUT(int, Bool, RegisterAsDropTarget, 553)
HARBEX_GET(int, AsBool, TheaterMode, 554)
HARBEX_PUT(int, Bool, TheaterMode, 554)
HARBEX_GET(int, AsBool, AddressBar, 555)
HARBEX_PUT(int, Bool, AddressBar, 555)
HARBEX_GET(int, AsBool, Resizable, 556)
HARBEX_PUT(int, Bool, Resizable, 556)

#undef HARBEX_GET
#undef HARBEX_PUT
