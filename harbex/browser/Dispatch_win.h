// The automation calls of the browser wrapper: arguments and results as VARIANTs that clean up
// after themselves, and the one IDispatch::Invoke routine every operation goes through.
#pragma once

#include <windows.h>
// after windows.h, whose types they use
#include <oaidl.h>
#include <oleauto.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace harbex::dispatch {

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

    // Text in the ANSI code page, as a BSTR.
    static Variant String(std::string_view ansi);
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
    // An optional argument left out.
    static Variant Omitted() {
        Variant v;
        V_VT(&v.value_) = VT_ERROR;
        V_ERROR(&v.value_) = DISP_E_PARAMNOTFOUND;
        return v;
    }
    // The caller's VARIANT or number by reference; null is an omitted optional argument.
    static Variant Ref(VARIANT* value) { return ByRef(VT_VARIANT, value); }
    static Variant LongRef(long* value) { return ByRef(VT_I4, value); }
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
    static Variant ByRef(VARTYPE type, void* target) {
        if (target == nullptr) {
            return Omitted();
        }
        Variant v;
        v.owned_ = false;
        V_VT(&v.value_) = static_cast<VARTYPE>(type | VT_BYREF);
        V_BYREF(&v.value_) = target;
        return v;
    }

    VARIANT value_;
    bool owned_ = true;
};

enum class Kind : WORD {
    Method = DISPATCH_METHOD,
    Get = DISPATCH_PROPERTYGET,
    Put = DISPATCH_PROPERTYPUT,
};

// Calls `id` with the arguments (in the order the interface lists them) and gives the result;
// throws harbex::DispatchError when the control fails the call.
Variant Invoke(IDispatch* control, std::string_view operation, DISPID id, Kind kind,
               std::initializer_list<const Variant*> args = {});

// Navigate and Navigate2: the address, then four optional arguments by reference.
void InvokeNavigation(IDispatch* control, std::string_view operation, DISPID id, const Variant& url,
                      VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                      VARIANT* headers);

// Results converted as the automation types ask; a result of another type that cannot be
// converted throws harbex::DispatchError.
std::string AsString(Variant result, std::string_view operation);  // in the ANSI code page
long AsLong(Variant result, std::string_view operation);
int AsBool(Variant result, std::string_view operation);
// A counted reference for the caller; null stays null.
IDispatch* AsDispatch(Variant result, std::string_view operation);

}  // namespace harbex::dispatch
