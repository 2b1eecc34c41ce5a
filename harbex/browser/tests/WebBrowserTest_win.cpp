// CWebBrowser with the real WebBrowser control where the system has one. Under Wine there is no
// HTML engine: the control may be missing or show nothing, and every path must end cleanly.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <utility>

#include "harbex/WebBrowser.h"

namespace {

using Clock = std::chrono::steady_clock;

// A top-level window with one child place in it, as the window layer makes for a hosted control.
class HostedPlace {
public:
    HostedPlace() {
        top_ = CreateWindowExA(0, "STATIC", "browser test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        place_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 5, 27, 360, 240, top_,
                                 reinterpret_cast<HMENU>(1011), GetModuleHandleA(nullptr), nullptr);
    }
    ~HostedPlace() { DestroyTop(); }
    HostedPlace(const HostedPlace&) = delete;
    HostedPlace& operator=(const HostedPlace&) = delete;

    HWND place() const { return place_; }
    void DestroyTop() {
        if (top_ != nullptr) {
            DestroyWindow(top_);
            top_ = nullptr;
            place_ = nullptr;
        }
    }

private:
    HWND top_ = nullptr;
    HWND place_ = nullptr;
};

// Lets the control run what it posted to itself for a moment.
void PumpMessages(std::chrono::milliseconds time) {
    const auto end = Clock::now() + time;
    while (Clock::now() < end) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
}

class Host final : public DocHostUI, public IJsMessage {
public:
    JsExternal* GetExternal() override { return &m_external; }
    void OnJsMessage(uint32_t, char*) override {}
    JsExternal m_external{*this};
};

// The handler a control's client site hands out, or null.
IDocHostUIHandler* SiteHandler(CWebBrowser& browser) {
    IOleObject* object = nullptr;
    if (FAILED(browser.GetControlUnknown()->QueryInterface(IID_IOleObject,
                                                           reinterpret_cast<void**>(&object)))) {
        return nullptr;
    }
    IOleClientSite* site = nullptr;
    const HRESULT hr = object->GetClientSite(&site);
    object->Release();
    if (FAILED(hr) || site == nullptr) {
        return nullptr;
    }
    IDocHostUIHandler* handler = nullptr;
    site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler));
    site->Release();
    return handler;
}

// The size of the first child window of `parent` (the control's own window).
std::pair<long, long> ChildSize(HWND parent) {
    RECT area = {};
    GetWindowRect(GetWindow(parent, GW_CHILD), &area);
    return {area.right - area.left, area.bottom - area.top};
}

TEST(WebBrowserWin, ClassIdIsTheWebBrowserControls) {
    const CLSID expected = {
        0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
    EXPECT_TRUE(IsEqualCLSID(CWebBrowser::GetClsid(), expected));
    EXPECT_EQ(&CWebBrowser::GetClsid(), &CWebBrowser::GetClsid());
}

TEST(WebBrowserWin, WithoutControlOperationsThrowAndNoticesAreLost) {
    CWebBrowser browser;
    EXPECT_EQ(browser.Create("", WS_CHILD | WS_VISIBLE, {}, nullptr, 1011), 0);
    EXPECT_EQ(browser.GetControlUnknown(), nullptr);
    try {
        browser.Navigate("about:blank");
        ADD_FAILURE() << "Navigate without a control did not throw";
    } catch (const harbex::DispatchError& error) {
        EXPECT_EQ(error.Code(), static_cast<int32_t>(E_UNEXPECTED));
        EXPECT_NE(std::string(error.what()).find("Navigate"), std::string::npos) << error.what();
    }
    EXPECT_THROW(browser.get_Document(), harbex::DispatchError);
    EXPECT_THROW(browser.put_Silent(TRUE), harbex::DispatchError);
    Host host;
    EXPECT_EQ(browser.InstallUIHandler(host), 0);
    bool asked = true;
    EXPECT_NO_THROW(asked = browser.CallPage(7, "0"));
    EXPECT_FALSE(asked);  // without a control the page cannot be asked
}

TEST(WebBrowserWin, CreateInAWindowEndsCleanly) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    const auto start = Clock::now();
    {
        HostedPlace window;
        ASSERT_NE(window.place(), nullptr);
        Host host;  // outlives the browser, as a handler must
        CWebBrowser browser;
        if (browser.Create("", WS_CHILD | WS_VISIBLE, {5, 27, 360, 240}, window.place(), 1011) ==
            0) {
            std::cout << "no WebBrowser control on this system\n";
            EXPECT_EQ(browser.GetControlUnknown(), nullptr);
        } else {
            ASSERT_NE(browser.GetControlUnknown(), nullptr);
            EXPECT_EQ(SiteHandler(browser), nullptr);

            // The game host's wiring; without an HTML engine a step may fail, but only as a
            // DispatchError, and the rest goes on.
            int failures = 0;
            try {
                browser.Navigate("about:blank");
            } catch (const harbex::DispatchError& error) {
                std::cout << error.what() << "\n";
                ++failures;
            }
            try {
                browser.put_Silent(TRUE);
                EXPECT_NE(browser.get_Silent(), 0);
            } catch (const harbex::DispatchError& error) {
                std::cout << error.what() << "\n";
                ++failures;
            }
            browser.InstallUIHandler(host);
            // Whatever the document did, the client site now offers the host's handler.
            EXPECT_EQ(SiteHandler(browser), static_cast<IDocHostUIHandler*>(&host));
            EXPECT_NO_THROW(browser.CallPage(7, "0"));

            // The control fills its place and follows its size.
            EXPECT_EQ(ChildSize(window.place()), std::make_pair(360L, 240L));
            SetWindowPos(window.place(), nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
            EXPECT_EQ(ChildSize(window.place()), std::make_pair(200L, 100L));
            PumpMessages(std::chrono::milliseconds(500));
            std::cout << "WebBrowser control created; " << failures << " wiring step(s) failed\n";

            // The window may go first; the wrapper is then left without a control.
            window.DestroyTop();
            EXPECT_EQ(browser.GetControlUnknown(), nullptr);
            EXPECT_THROW(browser.GoBack(), harbex::DispatchError);
        }
    }
    OleUninitialize();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
