// The COM faces of the bridge and the document host handler. Neither object counts references:
// both are members of their host, which keeps them alive while its browser control exists.
#include "harbex/DocHostUI.h"
#include "harbex/JsExternal.h"

namespace {

// The interface ids, written out so that the library needs no id library to compare them.
constexpr IID kDispatchId = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kDocHostUIHandlerId = {
    0xBD3F23C0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};

static_assert(harbex::kJsCallDone == S_OK);
static_assert(harbex::kJsCallRefused == DISP_E_MEMBERNOTFOUND);
static_assert(harbex::kJsCallOutOfMemory == E_OUTOFMEMORY);

// The one dispatch id that every member name of window.external resolves to.
constexpr DISPID kBridgeDispatchId = 1;

}  // namespace

// JsExternal

HRESULT STDMETHODCALLTYPE JsExternal::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr || !IsEqualIID(riid, kDispatchId)) {
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IDispatch*>(this);
    return S_OK;
}

ULONG STDMETHODCALLTYPE JsExternal::AddRef() {
    return 1;
}

ULONG STDMETHODCALLTYPE JsExternal::Release() {
    return 1;
}

HRESULT STDMETHODCALLTYPE JsExternal::GetTypeInfoCount(UINT* /*pctinfo*/) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE JsExternal::GetTypeInfo(UINT /*iTInfo*/, LCID /*lcid*/,
                                                  ITypeInfo** /*ppTInfo*/) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE JsExternal::GetIDsOfNames(REFIID /*riid*/, LPOLESTR* /*rgszNames*/,
                                                    UINT cNames, LCID /*lcid*/, DISPID* rgDispId) {
    if (cNames != 1 || rgDispId == nullptr) {
        return E_NOTIMPL;
    }
    rgDispId[0] = kBridgeDispatchId;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE JsExternal::Invoke(DISPID dispIdMember, REFIID /*riid*/, LCID /*lcid*/,
                                             WORD /*wFlags*/, DISPPARAMS* pDispParams,
                                             VARIANT* /*pVarResult*/, EXCEPINFO* /*pExcepInfo*/,
                                             UINT* /*puArgErr*/) {
    if (dispIdMember != kBridgeDispatchId || pDispParams == nullptr || pDispParams->cArgs != 1 ||
        pDispParams->rgvarg == nullptr) {
        return DISP_E_MEMBERNOTFOUND;
    }
    // Only a string by value is a string here; a null BSTR is the empty string.
    const VARIANT& value = pDispParams->rgvarg[0];
    harbex::JsArgument argument;
    if (V_VT(&value) == VT_BSTR) {
        argument.isString = true;
        if (const BSTR text = V_BSTR(&value)) {
            argument.text = {reinterpret_cast<const char16_t*>(text), SysStringLen(text)};
        }
    }
    return Call(std::span<const harbex::JsArgument>(&argument, 1));
}

// DocHostUI

HRESULT STDMETHODCALLTYPE DocHostUI::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr || !IsEqualIID(riid, kDocHostUIHandlerId)) {
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IDocHostUIHandler*>(this);
    return S_OK;
}

ULONG STDMETHODCALLTYPE DocHostUI::AddRef() {
    return 1;
}

ULONG STDMETHODCALLTYPE DocHostUI::Release() {
    return 1;
}

HRESULT STDMETHODCALLTYPE DocHostUI::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::GetHostInfo(DOCHOSTUIINFO*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                            IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::HideUI() {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::UpdateUI() {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::EnableModeless(BOOL) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::OnDocWindowActivate(BOOL) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::OnFrameWindowActivate(BOOL) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::TranslateAccelerator(LPMSG, const GUID*, DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::GetOptionKeyPath(LPOLESTR*, DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::GetDropTarget(IDropTarget*, IDropTarget**) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::GetExternal(IDispatch** ppDispatch) {
    JsExternal* external = GetExternal();
    if (external == nullptr || ppDispatch == nullptr) {
        return E_NOTIMPL;
    }
    *ppDispatch = external;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DocHostUI::TranslateUrl(DWORD, LPWSTR, LPWSTR*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DocHostUI::FilterDataObject(IDataObject*, IDataObject**) {
    return E_NOTIMPL;
}
