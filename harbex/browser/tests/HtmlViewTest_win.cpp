// The HTML view with the real WebBrowser control where the system has one: every navigation is
// put to the view before it starts. Under Wine there is no HTML engine to show pages, but the
// control still announces its navigations.
#include <windows.h>

#include <gtest/gtest.h>
#include <ole2.h>

#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "RecordingView.h"

namespace {

using Clock = std::chrono::steady_clock;

// Lets the control run what it posted to itself, until `done` holds or `time` has passed.
template <class Done>
bool PumpUntil(Done done, std::chrono::milliseconds time) {
    const auto end = Clock::now() + time;
    while (!done()) {
        if (Clock::now() > end) {
            return false;
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
    return true;
}

TEST(HtmlViewWin, TheControlsNavigationsArePutToTheView) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    {
        HWND top = CreateWindowExA(0, "STATIC", "html view test", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                   300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        HWND place = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 380, 260, top,
                                     nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(place, nullptr);
        harbex_test::RecordingView view;
        view.refuse = [](const std::string&) { return true; };  // nothing leaves for the network
        if (view.Create(place) == 0) {
            std::cout << "no WebBrowser control on this system\n";
            EXPECT_FALSE(view.HasWindow());
        } else {
            ASSERT_TRUE(view.HasWindow());
            view.Navigate("http://127.0.0.1:9/closed.html");
            EXPECT_TRUE(view.asked.empty());  // the switch is off
            view.EnableBrowser(true);
            EXPECT_TRUE(PumpUntil([&] { return !view.asked.empty(); }, std::chrono::seconds(5)));
            ASSERT_FALSE(view.asked.empty());
            EXPECT_EQ(view.asked[0].url, "http://127.0.0.1:9/closed.html");
            EXPECT_EQ(view.asked[0].frame, "");
            EXPECT_TRUE(view.asked[0].posted.empty());
            std::cout << "asked " << view.asked.size() << " time(s), headers \""
                      << view.asked[0].headers << "\"\n";
        }
        DestroyWindow(top);  // the control ends while its window exists
        PumpUntil([] { return false; }, std::chrono::milliseconds(50));
    }
    OleUninitialize();
}

}  // namespace
