#include "browser/Dispatch_win.h"

#include <vector>

#include "harbex/WebBrowser.h"
#include "platform/CodePage.h"

namespace harbex::dispatch {

Variant Variant::String(std::string_view ansi) {
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

Variant Invoke(IDispatch* control, std::string_view operation, DISPID id, Kind kind,
               std::initializer_list<const Variant*> args) {
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

void InvokeNavigation(IDispatch* control, std::string_view operation, DISPID id, const Variant& url,
                      VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                      VARIANT* headers) {
    const Variant flagsArgument = Variant::Ref(flags);
    const Variant target = Variant::Ref(targetFrameName);
    const Variant post = Variant::Ref(postData);
    const Variant headersArgument = Variant::Ref(headers);
    Invoke(control, operation, id, Kind::Method,
           {&url, &flagsArgument, &target, &post, &headersArgument});
}

namespace {

void Convert(Variant& result, std::string_view operation, VARTYPE type) {
    const HRESULT hr = VariantChangeType(result.get(), result.get(), 0, type);
    if (FAILED(hr)) {
        throw harbex::DispatchError(operation, hr);
    }
}

}  // namespace

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

IDispatch* AsDispatch(Variant result, std::string_view operation) {
    if (V_VT(result.get()) == VT_EMPTY || V_VT(result.get()) == VT_NULL) {
        return nullptr;
    }
    Convert(result, operation, VT_DISPATCH);
    IDispatch* object = V_DISPATCH(result.get());
    V_VT(result.get()) = VT_EMPTY;  // the reference goes to the caller
    return object;
}

}  // namespace harbex::dispatch
