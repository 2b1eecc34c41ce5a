// The page's window.external object. It accepts one call shape, a single string made of a
// decimal command number, a comma and a text, and forwards number and text to an IJsMessage.
//
// On Windows it is the IDispatch the browser control is handed; every member name resolves to
// the same dispatch id. Elsewhere the page's calls arrive through Call, which the WebKit side
// feeds (see the browser component); the acceptance rules are the same for both.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "harbex/HarbexApi.h"
#include "harbex/IJsMessage.h"

#if defined(_WIN32)
#include "harbex/BrowserCom_win.h"
#endif

namespace harbex {

// One argument of a page's call as the bridge judges it: whether it is a string, and then
// its UTF-16 text.
struct JsArgument {
    bool isString = false;
    std::u16string_view text;
};

// Results of a call, with the values of their COM counterparts S_OK, DISP_E_MEMBERNOTFOUND
// and E_OUTOFMEMORY.
inline constexpr int32_t kJsCallDone = 0;
inline constexpr int32_t kJsCallRefused = static_cast<int32_t>(0x80020003u);
inline constexpr int32_t kJsCallOutOfMemory = static_cast<int32_t>(0x8007000Eu);

}  // namespace harbex

#if defined(_WIN32)
// COM interfaces have no virtual destructor by design: objects are never deleted through them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

class HARBEX_API JsExternal
#if defined(_WIN32)
    : public IDispatch
#endif
{
public:
    explicit JsExternal(IJsMessage& sink) : m_pJsMessage(&sink) {}
    JsExternal(const JsExternal&) = default;
    JsExternal& operator=(const JsExternal&) = default;
    ~JsExternal() = default;

    // One call of any member of window.external with these arguments: kJsCallRefused unless
    // there is exactly one string argument; otherwise kJsCallDone, with the sink called once
    // when the string holds a command number (at most 31 characters) before a comma and the
    // text after it fits 4095 bytes in the ANSI code page.
    int32_t Call(std::span<const harbex::JsArgument> args) const;

#if defined(_WIN32)
    // IUnknown, without reference counting: the object is a member of its host.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch: no type information; every name is dispatch id 1, which Invoke serves.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
#endif

protected:
    IJsMessage* m_pJsMessage;
};

#if defined(_WIN32)
#pragma GCC diagnostic pop
#endif
