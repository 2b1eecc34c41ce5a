// The COM faces under the platform's own automation types, without a browser: the calls a
// browser control would make, with real VARIANTs and BSTRs.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "harbex/DocHostUI.h"
#include "harbex/JsExternal.h"

namespace {

struct Delivered {
    uint32_t command;
    std::string text;
    bool operator==(const Delivered&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Delivered& call) {
        return out << '{' << call.command << ", \"" << call.text << "\"}";
    }
};
using Calls = std::vector<Delivered>;

class RecordingSink final : public IJsMessage {
public:
    void OnJsMessage(uint32_t command, char* text) override { calls.push_back({command, text}); }
    Calls calls;
};

// A BSTR for the length of a test.
class Bstr {
public:
    explicit Bstr(const std::wstring& text)
        : m_text(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(m_text); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return m_text; }

private:
    BSTR m_text;
};

VARIANT StringVariant(BSTR text) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = text;
    return value;
}

class JsExternalCom : public ::testing::Test {
protected:
    RecordingSink sink;
    JsExternal external{sink};
    IDispatch* dispatch = &external;

    // A method call with these arguments (in the order a script wrote them).
    HRESULT CallMethod(std::vector<VARIANT> args, VARIANT* result = nullptr) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());  // COM passes them last first
        DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                             static_cast<UINT>(reversed.size()), 0};
        return dispatch->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                                nullptr, nullptr);
    }

    Calls Deliver(const std::wstring& text) {
        sink.calls.clear();
        Bstr bstr(text);
        EXPECT_EQ(CallMethod({StringVariant(bstr.get())}), S_OK);
        return sink.calls;
    }
};

TEST_F(JsExternalCom, EveryNameResolvesToTheBridge) {
    Bstr name(L"AnyMemberAtAll");
    LPOLESTR names[] = {name.get(), name.get()};
    DISPID ids[2] = {-7, -7};
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, ids), S_OK);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids), E_NOTIMPL);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, nullptr), E_NOTIMPL);

    UINT count = 99;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), E_NOTIMPL);
    EXPECT_EQ(count, 99u);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), E_NOTIMPL);
}

TEST_F(JsExternalCom, DeliversOneStringCalls) {
    EXPECT_EQ(Deliver(L"7,abc&def"), (Calls{{7, "abc&def"}}));
    EXPECT_EQ(Deliver(L"2,"), (Calls{{2, ""}}));
    EXPECT_EQ(Deliver(L"7,a,b"), (Calls{{7, "a,b"}}));
    EXPECT_EQ(Deliver(L"abc,x"), (Calls{{0, "x"}}));
    EXPECT_EQ(Deliver(L" 12,x"), (Calls{{12, "x"}}));
    EXPECT_EQ(Deliver(L"7,game&\u4E2D\u6587"), (Calls{{7, "game&\xD6\xD0\xCE\xC4"}}));
    EXPECT_TRUE(Deliver(L"").empty());
    EXPECT_TRUE(Deliver(L",x").empty());

    // A null BSTR is the empty string: accepted, nothing delivered.
    sink.calls.clear();
    EXPECT_EQ(CallMethod({StringVariant(nullptr)}), S_OK);
    EXPECT_TRUE(sink.calls.empty());
}

TEST_F(JsExternalCom, TextMustFit4095AnsiBytes) {
    EXPECT_EQ(Deliver(L"1," + std::wstring(4095, L'a')), (Calls{{1, std::string(4095, 'a')}}));
    EXPECT_TRUE(Deliver(L"1," + std::wstring(4096, L'a')).empty());
    const Calls wide = Deliver(L"1," + std::wstring(2047, L'\u4E2D') + L"a");
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0].text.size(), 4095u);
    EXPECT_TRUE(Deliver(L"1," + std::wstring(2048, L'\u4E2D')).empty());
}

TEST_F(JsExternalCom, RefusesOtherCallShapes) {
    Bstr first(L"7,a");
    Bstr second(L"7,b");
    EXPECT_EQ(CallMethod({StringVariant(first.get()), StringVariant(second.get())}),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(CallMethod({}), DISP_E_MEMBERNOTFOUND);

    VARIANT number;
    VariantInit(&number);
    V_VT(&number) = VT_I4;
    V_I4(&number) = 7;
    EXPECT_EQ(CallMethod({number}), DISP_E_MEMBERNOTFOUND);

    BSTR text = first.get();
    VARIANT byReference;
    VariantInit(&byReference);
    V_VT(&byReference) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&byReference) = &text;
    EXPECT_EQ(CallMethod({byReference}), DISP_E_MEMBERNOTFOUND);

    VARIANT empty;
    VariantInit(&empty);
    EXPECT_EQ(CallMethod({empty}), DISP_E_MEMBERNOTFOUND);

    VARIANT argument = StringVariant(first.get());
    DISPPARAMS params = {&argument, nullptr, 1, 0};
    EXPECT_EQ(dispatch->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                               nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr, nullptr,
                               nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_TRUE(sink.calls.empty());
}

TEST_F(JsExternalCom, PropertyPutIsACallAndNoResultIsWritten) {
    Bstr text(L"6,");
    VARIANT argument = StringVariant(text.get());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&argument, &named, 1, 1};
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                               nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(sink.calls, (Calls{{6, ""}}));

    VARIANT result;
    VariantInit(&result);
    V_VT(&result) = VT_I4;
    V_I4(&result) = 42;
    Bstr call(L"8,");
    EXPECT_EQ(CallMethod({StringVariant(call.get())}, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_I4);
    EXPECT_EQ(V_I4(&result), 42);
}

TEST_F(JsExternalCom, HandsOutOnlyItsDispatchWithoutCounting) {
    void* object = nullptr;
    EXPECT_EQ(dispatch->QueryInterface(IID_IDispatch, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(dispatch));

    object = &sink;
    EXPECT_EQ(dispatch->QueryInterface(IID_IUnknown, &object), E_NOINTERFACE);
    EXPECT_EQ(dispatch->QueryInterface(IID_IDispatch, nullptr), E_NOINTERFACE);

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dispatch->AddRef(), 1u);
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(dispatch->Release(), 1u);
    }
    EXPECT_EQ(Deliver(L"2,"), (Calls{{2, ""}}));  // still alive and working
}

TEST(DocHostUICom, DeclinesEveryRequest) {
    DocHostUI handler;
    IDocHostUIHandler* ui = &handler;

    void* object = &handler;
    EXPECT_EQ(ui->QueryInterface(IID_IUnknown, &object), E_NOINTERFACE);
    EXPECT_EQ(object, static_cast<void*>(&handler));  // untouched
    EXPECT_EQ(ui->QueryInterface(IID_IDocHostUIHandler, nullptr), E_NOINTERFACE);
    object = nullptr;
    EXPECT_EQ(ui->QueryInterface(IID_IDocHostUIHandler, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(ui));
    EXPECT_EQ(ui->AddRef(), 1u);
    EXPECT_EQ(ui->Release(), 1u);
    EXPECT_EQ(ui->Release(), 1u);

    DOCHOSTUIINFO info = {};
    info.cbSize = sizeof info;
    POINT point = {};
    RECT border = {};
    MSG message = {};
    LPOLESTR key = nullptr;
    IDropTarget* dropTarget = nullptr;
    LPWSTR url = nullptr;
    IDataObject* data = nullptr;
    EXPECT_EQ(ui->ShowContextMenu(0, &point, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(ui->GetHostInfo(&info), E_NOTIMPL);
    EXPECT_EQ(info.dwFlags, 0u);
    EXPECT_EQ(ui->ShowUI(0, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(ui->HideUI(), E_NOTIMPL);
    EXPECT_EQ(ui->UpdateUI(), E_NOTIMPL);
    EXPECT_EQ(ui->EnableModeless(TRUE), E_NOTIMPL);
    EXPECT_EQ(ui->OnDocWindowActivate(TRUE), E_NOTIMPL);
    EXPECT_EQ(ui->OnFrameWindowActivate(TRUE), E_NOTIMPL);
    EXPECT_EQ(ui->ResizeBorder(&border, nullptr, TRUE), E_NOTIMPL);
    EXPECT_EQ(ui->TranslateAccelerator(&message, nullptr, 0), E_NOTIMPL);
    EXPECT_EQ(ui->GetOptionKeyPath(&key, 0), E_NOTIMPL);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(ui->GetDropTarget(nullptr, &dropTarget), E_NOTIMPL);
    EXPECT_EQ(dropTarget, nullptr);
    EXPECT_EQ(ui->TranslateUrl(0, nullptr, &url), E_NOTIMPL);
    EXPECT_EQ(url, nullptr);
    EXPECT_EQ(ui->FilterDataObject(nullptr, &data), E_NOTIMPL);
    EXPECT_EQ(data, nullptr);

    IDispatch* external = reinterpret_cast<IDispatch*>(&point);
    EXPECT_EQ(ui->GetExternal(&external), E_NOTIMPL);
    EXPECT_EQ(external, reinterpret_cast<IDispatch*>(&point));  // untouched
}

// The game host's shape: the handler gives the browser the window's own external object.
class HostWindow final : public DocHostUI, public IJsMessage {
public:
    HostWindow() : m_external(*this) {}
    JsExternal* GetExternal() override { return &m_external; }
    void OnJsMessage(uint32_t command, char* text) override { calls.push_back({command, text}); }

    JsExternal m_external;
    Calls calls;
};

TEST(DocHostUICom, HostHandsOutItsExternalThroughTheHandler) {
    HostWindow host;
    IDocHostUIHandler* ui = &host;
    IDispatch* external = nullptr;
    ASSERT_EQ(ui->GetExternal(&external), S_OK);
    ASSERT_EQ(external, static_cast<IDispatch*>(&host.m_external));
    EXPECT_EQ(ui->GetExternal(nullptr), E_NOTIMPL);

    Bstr text(L"7,game&hello");
    VARIANT argument = StringVariant(text.get());
    DISPPARAMS params = {&argument, nullptr, 1, 0};
    EXPECT_EQ(external->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                               nullptr, nullptr),
              S_OK);
    EXPECT_EQ(host.calls, (Calls{{7, "game&hello"}}));
}

}  // namespace
