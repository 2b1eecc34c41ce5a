// The browser on Windows: the WebBrowser control, in-place active in a small OLE container of
// our own (client site, in-place site, a frame without menus or borders) inside the hosted
// control's window, following that window's size.
#include <windows.h>

#include <commctrl.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <mshtml.h>
#include <ole2.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "../../win32/ComPtr_win.h"
#include "WindowParts_win.h"
#include "platform/Browser.h"
#include "platform/CodePage.h"

namespace platform {

namespace {

// Not in the import libraries of every SDK, so written out here.
constexpr IID kCustomDocId = {
    0x3050F3F0, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
constexpr CLSID kWebBrowserClassId = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

// The control's events ({34A715A0-6587-11D0-924A-0020AFC7AC4D}) and the one we answer.
constexpr IID kWebBrowserEventsId = {
    0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
constexpr DISPID kBeforeNavigate2 = 250;

constexpr UINT_PTR kSubclassId = 0x4C42;  // one subclass per parent: ours

class Bstr {
public:
    explicit Bstr(std::u16string_view text)
        : text_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                  static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return text_; }

private:
    BSTR text_;
};

// What a script call may leave in its exception information.
void FreeException(EXCEPINFO& info) {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
}

// COM interfaces have no virtual destructor by design: the site deletes itself on its last
// Release and is never deleted through an interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// The control's container: client site, in-place site and a frame that has no menus, tool space
// or accelerators. The control counts references to it, so it may outlive the view; Detach cuts
// it loose from the window and the handler when the view goes.
class Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    explicit Site(HWND parent) : parent_(parent) {}

    void SetHandler(IDocHostUIHandler* handler) { handler_ = handler; }
    void Detach() {
        ShareActiveObject(nullptr);
        parent_ = nullptr;
        handler_ = nullptr;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
            *ppv = static_cast<IOleClientSite*>(this);
        } else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite)) {
            *ppv = static_cast<IOleInPlaceSite*>(this);
        } else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) ||
                   IsEqualIID(riid, IID_IOleInPlaceFrame)) {
            *ppv = static_cast<IOleInPlaceFrame*>(this);
        } else if (IsEqualIID(riid, IID_IDocHostUIHandler) && handler_ != nullptr) {
            // The host's handler answers for the document itself.
            handler_->AddRef();
            *ppv = handler_;
            return S_OK;
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // IOleWindow (both the in-place site's and the frame's)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (window == nullptr) {
            return E_POINTER;
        }
        *window = parent_;
        return parent_ != nullptr ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker != nullptr) {
            *moniker = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
        if (container != nullptr) {
            *container = nullptr;
        }
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override {
        return parent_ != nullptr ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT position, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO info) override {
        if (frame == nullptr || doc == nullptr || position == nullptr || clip == nullptr ||
            info == nullptr) {
            return E_POINTER;
        }
        *frame = nullptr;
        *doc = nullptr;
        if (parent_ == nullptr) {
            return E_FAIL;
        }
        AddRef();
        *frame = static_cast<IOleInPlaceFrame*>(this);
        GetClientRect(parent_, position);
        *clip = *position;
        info->fMDIApp = FALSE;
        info->hwndFrame = GetAncestor(parent_, GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
        return INPLACE_E_NOTOOLSPACE;
    }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) override {
        ShareActiveObject(active);
        return S_OK;
    }

    // IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    ~Site() = default;

    // The control's active object sees the keys before they are dispatched: its shortcuts, Tab
    // between the page's fields and the editing keys of a text field work only through it. The
    // window's loop finds it as a property of the control's place.
    void ShareActiveObject(IOleInPlaceActiveObject* active) {
        if (parent_ != nullptr) {
            RemovePropA(parent_, win32ui::kActiveObjectProperty);
        }
        *active_.Out() = nullptr;
        if (active != nullptr && parent_ != nullptr) {
            active->AddRef();
            *active_.Out() = active;
            SetPropA(parent_, win32ui::kActiveObjectProperty, active);
        }
    }

    std::atomic<ULONG> references_{1};
    HWND parent_;
    IDocHostUIHandler* handler_ = nullptr;
    ComPtr<IOleInPlaceActiveObject> active_;
};

// An event argument given by reference to a VARIANT, as the control passes them (posted data
// even through two references); the value itself otherwise.
const VARIANT& Referenced(const VARIANT& argument) {
    const VARIANT* value = &argument;
    for (int depth = 0;
         depth < 4 && V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value) != nullptr;
         ++depth) {
        value = V_VARIANTREF(value);
    }
    return *value;
}

std::string TextArgument(const VARIANT& argument) {
    const VARIANT& value = Referenced(argument);
    if (V_VT(&value) != VT_BSTR || V_BSTR(&value) == nullptr) {
        return {};
    }
    const BSTR text = V_BSTR(&value);
    return Utf16ToAnsi(
        std::u16string_view(reinterpret_cast<const char16_t*>(text), SysStringLen(text)));
}

std::uint32_t NumberArgument(const VARIANT& argument) {
    VARIANT number;
    VariantInit(&number);
    // Read only: the call takes a non-const source but does not change it.
    auto* source = const_cast<VARIANT*>(&Referenced(argument));
    if (FAILED(VariantChangeType(&number, source, 0, VT_I4))) {
        return 0;
    }
    return static_cast<std::uint32_t>(V_I4(&number));
}

std::vector<std::uint8_t> BytesArgument(const VARIANT& argument) {
    const VARIANT& value = Referenced(argument);
    SAFEARRAY* array = nullptr;
    if (V_VT(&value) == (VT_ARRAY | VT_UI1)) {
        array = V_ARRAY(&value);
    } else if (V_VT(&value) == (VT_BYREF | VT_ARRAY | VT_UI1) && V_ARRAYREF(&value) != nullptr) {
        array = *V_ARRAYREF(&value);
    }
    LONG low = 0;
    LONG high = -1;
    if (array == nullptr || SafeArrayGetDim(array) != 1 ||
        FAILED(SafeArrayGetLBound(array, 1, &low)) || FAILED(SafeArrayGetUBound(array, 1, &high)) ||
        high < low) {
        return {};
    }
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) {
        return {};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::vector<std::uint8_t> copy(bytes, bytes + (static_cast<std::size_t>(high) - low + 1));
    SafeArrayUnaccessData(array);
    return copy;
}

// Receives the control's events and puts its navigations to the view's filter. The control
// holds a reference, so the sink may outlive the view; Detach cuts it loose.
class EventSink final : public IDispatch {
public:
    explicit EventSink(const NavigationFilter* filter) : filter_(filter) {}
    void Detach() { filter_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) &&
            !IsEqualIID(riid, kWebBrowserEventsId)) {
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        if (id == kBeforeNavigate2 && params != nullptr && params->cArgs == 7 &&
            params->rgvarg != nullptr) {
            BeforeNavigate(params->rgvarg);
        }
        return S_OK;
    }

private:
    // The arguments come last first: the browser, the address, the flags, the target frame,
    // the posted data, the headers and the cancel flag.
    void BeforeNavigate(VARIANT* arguments) {
        const VARIANT& cancel = arguments[0];
        if (filter_ == nullptr || !*filter_ || V_VT(&cancel) != (VT_BYREF | VT_BOOL) ||
            V_BOOLREF(&cancel) == nullptr) {
            return;
        }
        try {
            NavigationRequest request;
            request.url = TextArgument(arguments[5]);
            request.flags = NumberArgument(arguments[4]);
            request.targetFrame = TextArgument(arguments[3]);
            request.postData = BytesArgument(arguments[2]);
            request.headers = TextArgument(arguments[1]);
            if ((*filter_)(request)) {
                *V_BOOLREF(&cancel) = VARIANT_TRUE;
            }
        } catch (...) {
            // Nothing crosses back into the control; the navigation goes on.
        }
    }

    std::atomic<ULONG> references_{1};
    const NavigationFilter* filter_;
};

#pragma GCC diagnostic pop

// OLE for this thread while a view lives (counted by the system per thread).
class OleApartment {
public:
    OleApartment() : ready_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleApartment() {
        if (ready_) {
            OleUninitialize();
        }
    }
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;
    bool ready() const { return ready_; }

private:
    bool ready_;
};

// The embedded control; ending it deactivates and closes the control and cuts the site loose.
struct Embedding {
    ComPtr<Site> site;
    ComPtr<IOleObject> object;
    ComPtr<IOleInPlaceObject> inPlace;
    ComPtr<IWebBrowser2> browser;
    ComPtr<EventSink> events;
    ComPtr<IConnectionPoint> eventPoint;
    DWORD eventCookie = 0;

    Embedding() = default;
    Embedding(const Embedding&) = delete;
    Embedding& operator=(const Embedding&) = delete;
    ~Embedding() {
        if (eventPoint.get() != nullptr) {
            eventPoint->Unadvise(eventCookie);
        }
        if (events.get() != nullptr) {
            events->Detach();
        }
        if (inPlace.get() != nullptr) {
            inPlace->InPlaceDeactivate();
        }
        if (object.get() != nullptr) {
            object->Close(OLECLOSE_NOSAVE);
            object->SetClientSite(nullptr);
        }
        if (site.get() != nullptr) {
            site->Detach();
        }
    }
};

class Win32BrowserView final : public BrowserView {
public:
    Win32BrowserView(HWND parent, std::unique_ptr<OleApartment> apartment,
                     std::unique_ptr<Embedding> embedding)
        : apartment_(std::move(apartment)), parent_(parent), embedding_(std::move(embedding)) {
        subclassed_ = SetWindowSubclass(parent_, &ParentProc, kSubclassId,
                                        reinterpret_cast<DWORD_PTR>(this)) != FALSE;
    }

    ~Win32BrowserView() override {
        EndControl();
        // embedding_ is gone before apartment_ (declared first) ends OLE for the thread.
    }

    bool Navigate(std::string_view ansiUrl) override {
        IWebBrowser2* browser = Browser();
        if (browser == nullptr) {
            return false;
        }
        Bstr url(AnsiToUtf16(ansiUrl));
        VARIANT empty;
        VariantInit(&empty);
        return SUCCEEDED(browser->Navigate(url.get(), &empty, &empty, &empty, &empty));
    }

    void SetNavigationFilter(NavigationFilter filter) override {
        filter_ = std::move(filter);
        if (filter_ && embedding_ != nullptr && embedding_->events.get() == nullptr) {
            ListenForEvents(*embedding_);
        }
    }

    void SetSilent(bool silent) override {
        if (IWebBrowser2* browser = Browser()) {
            browser->put_Silent(silent ? VARIANT_TRUE : VARIANT_FALSE);
        }
    }

    bool InstallUIHandler(IDocHostUIHandler* handler) override {
        if (embedding_ == nullptr) {
            return false;
        }
        embedding_->site->SetHandler(handler);
        ComPtr<IDispatch> document;
        if (FAILED(embedding_->browser->get_Document(document.Out())) ||
            document.get() == nullptr) {
            return false;
        }
        ComPtr<ICustomDoc> custom;
        if (FAILED(document->QueryInterface(kCustomDocId, custom.OutVoid())) ||
            custom.get() == nullptr) {
            return false;
        }
        return SUCCEEDED(custom->SetUIHandler(handler));
    }

    bool CallPageFunction(std::string_view name, std::u16string_view text) override {
        IWebBrowser2* browser = Browser();
        if (browser == nullptr) {
            return false;
        }
        ComPtr<IDispatch> document;
        if (FAILED(browser->get_Document(document.Out()))) {
            return false;  // the control is broken; no document is a page still loading
        }
        if (document.get() == nullptr) {
            return true;
        }
        ComPtr<IHTMLDocument2> html;
        if (FAILED(document->QueryInterface(IID_IHTMLDocument2, html.OutVoid())) ||
            html.get() == nullptr) {
            return true;
        }
        ComPtr<IDispatch> script;
        if (FAILED(html->get_Script(script.Out())) || script.get() == nullptr) {
            return true;
        }
        Bstr member(AnsiToUtf16(name));
        LPOLESTR names[] = {member.get()};
        DISPID id = DISPID_UNKNOWN;
        if (FAILED(script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_NEUTRAL, &id)) ||
            id == DISPID_UNKNOWN) {
            return true;
        }
        Bstr argumentText(text);
        VARIANT argument;
        VariantInit(&argument);
        V_VT(&argument) = VT_BSTR;
        V_BSTR(&argument) = argumentText.get();
        DISPPARAMS params = {&argument, nullptr, 1, 0};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception = {};
        UINT argumentError = 0;
        script->Invoke(id, IID_NULL, LOCALE_NEUTRAL, DISPATCH_METHOD, &params, &result, &exception,
                       &argumentError);
        VariantClear(&result);
        FreeException(exception);
        return true;
    }

    bool EngineRuns() const override { return Browser() != nullptr; }

    void* NativeEngine() const override {
        return embedding_ != nullptr ? static_cast<IDispatch*>(embedding_->browser.get()) : nullptr;
    }

private:
    IWebBrowser2* Browser() const {
        return embedding_ != nullptr ? embedding_->browser.get() : nullptr;
    }

    // Subscribes to the control's events; without them no navigation reaches the filter.
    void ListenForEvents(Embedding& embedding) {
        ComPtr<IConnectionPointContainer> points;
        if (FAILED(embedding.object->QueryInterface(IID_IConnectionPointContainer,
                                                    points.OutVoid())) ||
            points.get() == nullptr) {
            return;
        }
        ComPtr<IConnectionPoint> point;
        if (FAILED(points->FindConnectionPoint(kWebBrowserEventsId, point.Out())) ||
            point.get() == nullptr) {
            return;
        }
        ComPtr<EventSink> sink;
        *sink.Out() = new EventSink(&filter_);
        DWORD cookie = 0;
        if (FAILED(point->Advise(sink.get(), &cookie))) {
            sink->Detach();
            return;
        }
        embedding.events = std::move(sink);
        embedding.eventPoint = std::move(point);
        embedding.eventCookie = cookie;
    }

    void Fit(int width, int height) {
        if (embedding_ != nullptr && embedding_->inPlace.get() != nullptr) {
            const RECT area = {0, 0, width, height};
            embedding_->inPlace->SetObjectRects(&area, &area);
        }
    }

    // Ends the control while its window still exists, and lets go of the parent.
    void EndControl() {
        embedding_.reset();
        if (subclassed_) {
            RemoveWindowSubclass(parent_, &ParentProc, kSubclassId);
            subclassed_ = false;
        }
    }

    static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR /*id*/, DWORD_PTR data) {
        auto* view = reinterpret_cast<Win32BrowserView*>(data);
        if (message == WM_SIZE) {
            view->Fit(LOWORD(lparam), HIWORD(lparam));
        } else if (message == WM_DESTROY) {
            // The parent goes first: the control must close while its window exists.
            view->EndControl();
        }
        return DefSubclassProc(window, message, wparam, lparam);
    }

    std::unique_ptr<OleApartment> apartment_;
    HWND parent_;
    NavigationFilter filter_;  // before embedding_, whose event sink points at it
    std::unique_ptr<Embedding> embedding_;
    bool subclassed_ = false;
};

// The control in-place active in `parent`, or null.
std::unique_ptr<Embedding> Embed(HWND parent) {
    auto embedding = std::make_unique<Embedding>();
    *embedding->site.Out() = new Site(parent);
    IOleClientSite* site = embedding->site.get();
    if (FAILED(CoCreateInstance(kWebBrowserClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                embedding->object.OutVoid())) ||
        embedding->object.get() == nullptr) {
        return nullptr;
    }
    if (FAILED(embedding->object->SetClientSite(site))) {
        return nullptr;
    }
    RECT area = {};
    GetClientRect(parent, &area);
    if (FAILED(
            embedding->object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, parent, &area))) {
        return nullptr;
    }
    if (FAILED(embedding->object->QueryInterface(IID_IWebBrowser2, embedding->browser.OutVoid())) ||
        embedding->browser.get() == nullptr) {
        return nullptr;
    }
    if (SUCCEEDED(embedding->object->QueryInterface(IID_IOleInPlaceObject,
                                                    embedding->inPlace.OutVoid())) &&
        embedding->inPlace.get() != nullptr) {
        embedding->inPlace->SetObjectRects(&area, &area);
    }
    return embedding;
}

}  // namespace

namespace win32ui {

bool TranslateKeyForHostedObject(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) {
        return false;
    }
    for (HWND window = msg.hwnd; window != nullptr; window = GetAncestor(window, GA_PARENT)) {
        if (auto* active =
                static_cast<IOleInPlaceActiveObject*>(GetPropA(window, kActiveObjectProperty))) {
            return active->TranslateAccelerator(&msg) == S_OK;
        }
        if (GetAncestor(window, GA_ROOT) == window) {
            break;
        }
    }
    return false;
}

}  // namespace win32ui

std::unique_ptr<BrowserView> BrowserView::Create(void* nativeParent) {
    const auto parent = static_cast<HWND>(nativeParent);
    if (parent == nullptr || !IsWindow(parent)) {
        return nullptr;
    }
    auto apartment = std::make_unique<OleApartment>();
    if (!apartment->ready()) {
        return nullptr;
    }
    std::unique_ptr<Embedding> embedding = Embed(parent);
    if (embedding == nullptr) {
        return nullptr;
    }
    return std::make_unique<Win32BrowserView>(parent, std::move(apartment), std::move(embedding));
}

}  // namespace platform
