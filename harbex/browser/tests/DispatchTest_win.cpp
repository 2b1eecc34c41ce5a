// The browser wrapper's automation calls against a control that records what it is given: the
// argument order COM expects, omitted and by-reference arguments, property puts, results and
// failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/Dispatch_win.h"
#include "harbex/WebBrowser.h"

namespace {

using namespace harbex::dispatch;

// One call as the control saw it; argument values are copied out before the call returns.
struct SeenCall {
    DISPID id = 0;
    WORD flags = 0;
    std::vector<VARIANT> args;  // as COM lists them: last argument first
    std::vector<DISPID> named;
    bool resultAsked = false;
};

// COM interfaces have no virtual destructor by design; the control lives on the test's stack.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class RecordingControl final : public IDispatch {
public:
    ~RecordingControl() {
        for (SeenCall& call : calls) {
            for (VARIANT& arg : call.args) {
                if (!(V_VT(&arg) & VT_BYREF)) {
                    VariantClear(&arg);
                }
            }
        }
        VariantClear(&result);
    }

    std::vector<SeenCall> calls;
    VARIANT result{};  // copied into every call's result
    HRESULT answer = S_OK;
    SCODE exceptionCode = S_OK;  // with DISP_E_EXCEPTION: the code the exception carries

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* out, EXCEPINFO* exception, UINT*) override {
        SeenCall call;
        call.id = id;
        call.flags = flags;
        call.resultAsked = out != nullptr;
        for (UINT i = 0; i < params->cArgs; ++i) {
            VARIANT copy;
            VariantInit(&copy);
            if (V_VT(&params->rgvarg[i]) & VT_BYREF) {
                copy = params->rgvarg[i];  // the pointer itself is what is checked
            } else {
                VariantCopy(&copy, &params->rgvarg[i]);
            }
            call.args.push_back(copy);
        }
        call.named.assign(params->rgdispidNamedArgs,
                          params->rgdispidNamedArgs + params->cNamedArgs);
        calls.push_back(call);
        if (answer == DISP_E_EXCEPTION) {
            exception->scode = exceptionCode;
            exception->bstrDescription = SysAllocString(L"failed inside");
            return answer;
        }
        if (out != nullptr && SUCCEEDED(answer)) {
            VariantCopy(out, &result);
        }
        return answer;
    }
};
#pragma GCC diagnostic pop

TEST(Dispatch, ArgumentsGoLastFirstWithOmittedAndByReferenceOnesAsCOMExpects) {
    RecordingControl control;
    VARIANT flags;
    VariantInit(&flags);
    V_VT(&flags) = VT_I4;
    V_I4(&flags) = 4;
    VARIANT headers;
    VariantInit(&headers);
    InvokeNavigation(&control, "Navigate", 104, Variant::String("about:blank"), &flags, nullptr,
                     nullptr, &headers);

    ASSERT_EQ(control.calls.size(), 1u);
    const SeenCall& call = control.calls[0];
    EXPECT_EQ(call.id, 104);
    EXPECT_EQ(call.flags, DISPATCH_METHOD);
    EXPECT_TRUE(call.named.empty());
    ASSERT_EQ(call.args.size(), 5u);
    // Headers, post data, target frame, flags, address.
    EXPECT_EQ(V_VT(&call.args[0]), VT_VARIANT | VT_BYREF);
    EXPECT_EQ(V_VARIANTREF(&call.args[0]), &headers);
    for (int omitted : {1, 2}) {
        EXPECT_EQ(V_VT(&call.args[omitted]), VT_ERROR) << omitted;
        EXPECT_EQ(V_ERROR(&call.args[omitted]), DISP_E_PARAMNOTFOUND) << omitted;
    }
    EXPECT_EQ(V_VARIANTREF(&call.args[3]), &flags);
    ASSERT_EQ(V_VT(&call.args[4]), VT_BSTR);
    EXPECT_EQ(std::wstring(V_BSTR(&call.args[4])), L"about:blank");

    long width = 0;
    const Variant byRef = Variant::LongRef(&width);
    const Variant missing = Variant::LongRef(nullptr);
    Invoke(&control, "ClientToWindow", 301, Kind::Method, {&byRef, &missing});
    ASSERT_EQ(control.calls.size(), 2u);
    EXPECT_EQ(V_VT(&control.calls[1].args[0]), VT_ERROR);
    EXPECT_EQ(V_VT(&control.calls[1].args[1]), VT_I4 | VT_BYREF);
    EXPECT_EQ(V_I4REF(&control.calls[1].args[1]), &width);
}

TEST(Dispatch, APropertyPutNamesItsArgumentAndAsksForNoResult) {
    RecordingControl control;
    const Variant visible = Variant::Bool(1);
    Invoke(&control, "put_Visible", 402, Kind::Put, {&visible});
    ASSERT_EQ(control.calls.size(), 1u);
    const SeenCall& call = control.calls[0];
    EXPECT_EQ(call.flags, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(call.named, std::vector<DISPID>{DISPID_PROPERTYPUT});
    EXPECT_FALSE(call.resultAsked);
    ASSERT_EQ(call.args.size(), 1u);
    EXPECT_EQ(V_VT(&call.args[0]), VT_BOOL);
    EXPECT_EQ(V_BOOL(&call.args[0]), VARIANT_TRUE);
}

TEST(Dispatch, ResultsAreConvertedAndTextArrivesInTheAnsiCodePage) {
    RecordingControl control;
    V_VT(&control.result) = VT_BSTR;
    V_BSTR(&control.result) = SysAllocString(L"42");
    EXPECT_EQ(AsLong(Invoke(&control, "get_Width", 208, Kind::Get), "get_Width"), 42);
    EXPECT_EQ(AsBool(Invoke(&control, "get_Busy", 212, Kind::Get), "get_Busy"), 1);
    EXPECT_TRUE(control.calls.back().resultAsked);

    VariantClear(&control.result);
    V_VT(&control.result) = VT_BSTR;
    V_BSTR(&control.result) = SysAllocString(L"\x4E2D\x6587 ok");  // two CJK characters
    // Code page 936 (the tests' Wine locale): each character is two bytes.
    EXPECT_EQ(AsString(Invoke(&control, "get_Name", 0, Kind::Get), "get_Name"),
              "\xD6\xD0\xCE\xC4 ok");

    VariantClear(&control.result);
    EXPECT_EQ(AsDispatch(Invoke(&control, "get_Document", 203, Kind::Get), "get_Document"),
              nullptr);
    V_VT(&control.result) = VT_DISPATCH;
    V_DISPATCH(&control.result) = &control;
    EXPECT_EQ(AsDispatch(Invoke(&control, "get_Parent", 201, Kind::Get), "get_Parent"),
              static_cast<IDispatch*>(&control));
    V_VT(&control.result) = VT_EMPTY;  // not owned by the result
}

TEST(Dispatch, FailuresThrowWithTheOperationAndTheCode) {
    RecordingControl control;
    control.answer = E_ACCESSDENIED;
    try {
        Invoke(&control, "GoBack", 100, Kind::Method);
        ADD_FAILURE() << "a failed call did not throw";
    } catch (const harbex::DispatchError& error) {
        EXPECT_EQ(error.Code(), E_ACCESSDENIED);
        EXPECT_NE(std::string(error.what()).find("GoBack"), std::string::npos) << error.what();
    }

    // An exception inside the control carries its own code.
    control.answer = DISP_E_EXCEPTION;
    control.exceptionCode = E_INVALIDARG;
    try {
        Invoke(&control, "Refresh", -550, Kind::Method);
        ADD_FAILURE() << "an exception in the control did not throw";
    } catch (const harbex::DispatchError& error) {
        EXPECT_EQ(error.Code(), E_INVALIDARG);
    }

    // A result that cannot be read as the type asked for fails the call.
    control.answer = S_OK;
    V_VT(&control.result) = VT_BSTR;
    V_BSTR(&control.result) = SysAllocString(L"not a number");
    EXPECT_THROW(AsLong(Invoke(&control, "get_Top", 207, Kind::Get), "get_Top"),
                 harbex::DispatchError);
}

}  // namespace
