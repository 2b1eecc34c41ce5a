// CWebBrowser on Windows: each operation is one IDispatch::Invoke of the WebBrowser control
// with the operation's dispatch id, through Invoke below.
#include <initializer_list>
#include <vector>

#include "harbex/WebBrowser.h"
#include "platform/Browser.h"
#include "platform/CodePage.h"

namespace {

constexpr CLSID kWebBrowserClassId = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

// An argument or a result, cleared when it goes. Arguments that refer to the caller's data
// (by-reference VARIANTs, a VARIANT given by value) are wrapped without being owned.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() {
        if (owned_) {
            VariantClear(&value_);
        }
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    static Variant String(std::string_view ansi) {
        Variant v;
        const std::u16string text = platform::AnsiToUtf16(ansi);
        V_VT(&v.value_) = VT_BSTR;
        V_BSTR(&v.value_) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                              static_cast<UINT>(text.size()));
        if (V_BSTR(&v.value_) == nullptr) {
            throw harbex::DispatchError("Invoke", E_OUTOFMEMORY);
        }
        return v;
    }
    static Variant Long(long number) {
        Variant v;
        V_VT(&v.value_) = VT_I4;
        V_I4(&v.value_) = number;
        return v;
    }
    static Variant Bool(int flag) {
        Variant v;
        V_VT(&v.value_) = VT_BOOL;
        V_BOOL(&v.value_) = flag != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    // The caller's VARIANT by reference; null is an omitted optional argument.
    static Variant Ref(VARIANT* value) {
        Variant v;
        v.owned_ = false;
        if (value == nullptr) {
            V_VT(&v.value_) = VT_ERROR;
            V_ERROR(&v.value_) = DISP_E_PARAMNOTFOUND;
        } else {
            V_VT(&v.value_) = VT_VARIANT | VT_BYREF;
            V_VARIANTREF(&v.value_) = value;
        }
        return v;
    }
    static Variant LongRef(long* value) {
        Variant v;
        v.owned_ = false;
        if (value == nullptr) {
            V_VT(&v.value_) = VT_ERROR;
            V_ERROR(&v.value_) = DISP_E_PARAMNOTFOUND;
        } else {
            V_VT(&v.value_) = VT_I4 | VT_BYREF;
            V_I4REF(&v.value_) = value;
        }
        return v;
    }
    static Variant Borrow(const VARIANT& value) {
        Variant v;
        v.owned_ = false;
        v.value_ = value;
        return v;
    }

    Variant(Variant&& other) noexcept : value_(other.value_), owned_(other.owned_) {
        VariantInit(&other.value_);
    }

    VARIANT* get() { return &value_; }
    const VARIANT& value() const { return value_; }
    // Hands the value over: the caller clears it.
    VARIANT Release() {
        VARIANT out = value_;
        VariantInit(&value_);
        return out;
    }

private:
    VARIANT value_;
    bool owned_ = true;
};

enum class Kind : WORD {
    Method = DISPATCH_METHOD,
    Get = DISPATCH_PROPERTYGET,
    Put = DISPATCH_PROPERTYPUT,
};

// The one invoke routine: calls `id` with the arguments (in the order the interface lists them)
// and gives the result; throws harbex::DispatchError when the control fails the call.
Variant Invoke(IDispatch* control, std::string_view operation, DISPID id, Kind kind,
               std::initializer_list<const Variant*> args = {}) {
    // COM takes the arguments last first.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = args.end(); it != args.begin();) {
        reversed.push_back((*--it)->value());
    }
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(),
                         kind == Kind::Put ? &named : nullptr, static_cast<UINT>(reversed.size()),
                         kind == Kind::Put ? 1u : 0u};
    Variant result;
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    HRESULT hr =
        control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, static_cast<WORD>(kind), &params,
                        kind == Kind::Put ? nullptr : result.get(), &exception, &argumentError);
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn != nullptr) {
            exception.pfnDeferredFillIn(&exception);
        }
        if (FAILED(exception.scode)) {
            hr = exception.scode;
        }
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    if (FAILED(hr)) {
        throw harbex::DispatchError(operation, hr);
    }
    return result;
}

// Results, converted as the automation types ask; a result of another type that cannot be
// converted is a failed call.
void Convert(Variant& result, std::string_view operation, VARTYPE type) {
    const HRESULT hr = VariantChangeType(result.get(), result.get(), 0, type);
    if (FAILED(hr)) {
        throw harbex::DispatchError(operation, hr);
    }
}

std::string AsString(Variant result, std::string_view operation) {
    Convert(result, operation, VT_BSTR);
    const BSTR text = V_BSTR(result.get());
    return text == nullptr ? std::string()
                           : platform::Utf16ToAnsi(std::u16string_view(
                                 reinterpret_cast<const char16_t*>(text), SysStringLen(text)));
}

long AsLong(Variant result, std::string_view operation) {
    Convert(result, operation, VT_I4);
    return V_I4(result.get());
}

int AsBool(Variant result, std::string_view operation) {
    Convert(result, operation, VT_BOOL);
    return V_BOOL(result.get()) != VARIANT_FALSE ? 1 : 0;
}

// A counted reference for the caller; null stays null.
IDispatch* AsDispatch(Variant result, std::string_view operation) {
    if (V_VT(result.get()) == VT_EMPTY || V_VT(result.get()) == VT_NULL) {
        return nullptr;
    }
    Convert(result, operation, VT_DISPATCH);
    IDispatch* object = V_DISPATCH(result.get());
    V_VT(result.get()) = VT_EMPTY;  // the reference goes to the caller
    return object;
}

}  // namespace

CWebBrowser::CWebBrowser() = default;

CWebBrowser::~CWebBrowser() = default;

const CLSID& CWebBrowser::GetClsid() {
    static const CLSID clsid = kWebBrowserClassId;
    return clsid;
}

int CWebBrowser::Create(const char* /*lpszWindowName*/, uint32_t /*dwStyle*/,
                        const platform::Rect& /*rect*/, void* pParentWnd, uint32_t /*nID*/) {
    if (m_view != nullptr) {
        return 0;
    }
    m_view = platform::BrowserView::Create(pParentWnd);
    return m_view != nullptr ? 1 : 0;
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

void CWebBrowser::CallPage(int32_t id, std::string_view ansiText) {
    if (m_view == nullptr) {
        return;
    }
    try {
        std::u16string text = platform::AnsiToUtf16(std::to_string(id) + ",");
        text += platform::AnsiToUtf16(ansiText);
        m_view->CallPageFunction("MessageProxy", text);
    } catch (...) {
        // Out of memory: lost like a notice to a page without MessageProxy.
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
    const Variant url = Variant::String(URL);
    const Variant flags = Variant::Ref(Flags);
    const Variant target = Variant::Ref(TargetFrameName);
    const Variant post = Variant::Ref(PostData);
    const Variant headers = Variant::Ref(Headers);
    Invoke(Control("Navigate"), "Navigate", 104, Kind::Method,
           {&url, &flags, &target, &post, &headers});
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
    const Variant url = Variant::Ref(URL);
    const Variant flags = Variant::Ref(Flags);
    const Variant target = Variant::Ref(TargetFrameName);
    const Variant post = Variant::Ref(PostData);
    const Variant headers = Variant::Ref(Headers);
    Invoke(Control("Navigate2"), "Navigate2", 500, Kind::Method,
           {&url, &flags, &target, &post, &headers});
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
