#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "UiTestSupport.h"

namespace {

using platform::Argb;
using platform::ButtonFrames;
using platform::Image;
using platform::MakeRgb;
using platform::Rect;
using uitest::Event;
using uitest::RecordingHandler;
using uitest::RunUntil;

constexpr Argb kRed = MakeRgb(200, 30, 30);
constexpr Argb kTeal = MakeRgb(20, 160, 170);
constexpr Argb kGreen = MakeRgb(20, 180, 40);
constexpr Argb kBlue = MakeRgb(30, 30, 220);
constexpr Argb kYellow = MakeRgb(230, 220, 20);
constexpr Argb kMagenta = MakeRgb(255, 0, 255);
constexpr Rect kGreenPatch{200, 20, 80, 60};

// Four 10x10 frames: normal is magenta on its left half and blue on its right; disabled yellow.
Image MakeStrip(bool allMagenta) {
    std::vector<Argb> pixels(40 * 10);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 40; ++x) {
            Argb c = MakeRgb(250, 250, 250);
            if (allMagenta || (x < 5)) {
                c = kMagenta;
            } else if (x < 10) {
                c = kBlue;
            } else if (x >= 30) {
                c = kYellow;
            }
            pixels[y * 40 + x] = c;
        }
    }
    Image strip;
    strip.Assign(40, 10, pixels.data());
    return strip;
}

// Dark pixels (text in black) inside the area of the picture.
int DarkPixels(const Image& shot, Rect area) {
    int dark = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            dark += platform::RedOf(shot.PixelAt(x, y)) < 100 ? 1 : 0;
        }
    }
    return dark;
}

TEST(WindowTest, SurfaceButtonsAndTextLinesPaintWhereTheyAre) {
    RecordingHandler handler;
    Argb background = kRed;
    handler.paint = [&](platform::Canvas& canvas) {
        canvas.FillRect(Rect{0, 0, 300, 200}, background);
        canvas.FillRect(kGreenPatch, kGreen);
    };
    auto window = uitest::MakeWindow(handler, Rect{100, 100, 300, 200});
    ASSERT_NE(window, nullptr);
    const ButtonFrames frames;
    window->AddButton(1, Rect{20, 20, 40, 20})->SetPicture(MakeStrip(false), frames, true);
    // Wholly magenta over the green patch: the surface under it must be painted shifted.
    window->AddButton(2, Rect{210, 30, 30, 30})->SetPicture(MakeStrip(true), frames, true);
    auto* disabled = window->AddButton(3, Rect{70, 20, 40, 20});
    disabled->SetPicture(MakeStrip(false), frames, true);
    disabled->SetEnabled(false);
    auto* hidden = window->AddButton(4, Rect{120, 20, 40, 20});
    hidden->SetPicture(MakeStrip(false), frames, true);
    hidden->SetVisible(false);
    window->AddButton(5, Rect{20, 60, 40, 20})->SetPicture(MakeStrip(false), frames, false);
    auto* line = window->AddTextLine(6, Rect{20, 100, 150, 20});
    auto* narrow = window->AddTextLine(7, Rect{20, 140, 40, 20});
    narrow->SetText("HHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHH");

    Image shot;
    ASSERT_TRUE(RunUntil(*window, handler, [&] {
        shot = uitest::CaptureWindow(*window);
        return shot.PixelAt(5, 5) == kRed && shot.PixelAt(50, 30) == kBlue;
    }));
    EXPECT_EQ(shot.Width(), 300);
    EXPECT_EQ(shot.PixelAt(25, 30), kRed) << "magenta part of a button";
    EXPECT_EQ(shot.PixelAt(225, 45), kGreen) << "magenta button over the green patch";
    EXPECT_EQ(shot.PixelAt(90, 30), kYellow) << "disabled frame";
    EXPECT_FALSE(disabled->IsEnabled());
    EXPECT_EQ(shot.PixelAt(140, 30), kRed) << "hidden button";
    EXPECT_FALSE(hidden->IsVisible());
    EXPECT_EQ(shot.PixelAt(25, 70), kMagenta) << "magenta is drawn unless asked not to";
    EXPECT_EQ(shot.PixelAt(50, 70), kBlue);
    EXPECT_EQ(DarkPixels(shot, Rect{20, 100, 150, 20}), 0) << "empty text line";
    EXPECT_GT(DarkPixels(shot, Rect{20, 140, 40, 20}), 20) << "long text";
    EXPECT_EQ(DarkPixels(shot, Rect{60, 140, 140, 20}), 0) << "text past the line's right edge";

    // "汉字 text" in GBK.
    line->SetText("\xBA\xBA\xD7\xD6 text");
    EXPECT_EQ(line->Text(), "\xBA\xBA\xD7\xD6 text");
    ASSERT_TRUE(RunUntil(*window, handler, [&] {
        shot = uitest::CaptureWindow(*window);
        return DarkPixels(shot, Rect{20, 100, 150, 20}) > 20;
    }));
    // The Chinese characters are drawn too, left of the Latin ones.
    EXPECT_GT(DarkPixels(shot, Rect{20, 100, 20, 20}), 5);

    // A new surface reaches the window and every child's background.
    background = kTeal;
    window->Invalidate();
    ASSERT_TRUE(RunUntil(*window, handler, [&] {
        shot = uitest::CaptureWindow(*window);
        return shot.PixelAt(5, 5) == kTeal && shot.PixelAt(25, 30) == kTeal;
    }));
    EXPECT_EQ(shot.PixelAt(225, 45), kGreen);
    EXPECT_EQ(shot.PixelAt(140, 30), kTeal);
}

TEST(WindowTest, PostsFromAnotherThreadArriveInOrderWithTheClose) {
    RecordingHandler handler;
    auto window = uitest::MakeWindow(handler, Rect{40, 40, 120, 80});
    ASSERT_NE(window, nullptr);
    constexpr int kCount = 300;
    constexpr uint32_t kData = platform::kFirstUserMessage + 1;
    constexpr uint32_t kLast = platform::kFirstUserMessage + 2;
    std::atomic<int> accepted{0};
    std::thread worker([&] {
        for (int i = 0; i < kCount; ++i) {
            accepted += window->Post(kData, 0, i) ? 1 : 0;
        }
        window->PostClose();
        accepted += window->Post(kLast, 0, kCount) ? 1 : 0;
    });
    const Event last{Event::Kind::kPosted, kLast, kCount};
    const bool arrived = RunUntil(
        *window, handler, [&] { return !handler.events.empty() && handler.events.back() == last; });
    worker.join();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(accepted, kCount + 1);
    std::vector<Event> expected;
    for (int i = 0; i < kCount; ++i) {
        expected.push_back({Event::Kind::kPosted, kData, i});
    }
    expected.push_back({Event::Kind::kClose});
    expected.push_back(last);
    EXPECT_EQ(handler.events, expected);
    // The close was only a request: the window is still there.
    EXPECT_TRUE(window->IsVisible());
}

TEST(WindowTest, PostsQueuedBehindTheEndOfAModalRunWaitForTheNextLoop) {
    RecordingHandler handler;
    auto window = uitest::MakeWindow(handler, Rect{40, 40, 120, 80});
    ASSERT_NE(window, nullptr);
    constexpr uint32_t kEnd = platform::kFirstUserMessage + 1;
    constexpr uint32_t kAfter = platform::kFirstUserMessage + 2;
    handler.posted = [&](uint32_t message, uint64_t, int64_t) {
        if (message == kEnd) {
            window->EndModal(7);
        }
    };
    ASSERT_TRUE(window->Post(kEnd, 0, 1));
    ASSERT_TRUE(window->Post(kAfter, 0, 2));

    EXPECT_EQ(window->RunModal(), 7);
    const Event ended{Event::Kind::kPosted, kEnd, 1};
    const Event after{Event::Kind::kPosted, kAfter, 2};
    EXPECT_EQ(handler.events, std::vector<Event>{ended});
    // Not lost: the next loop delivers it.
    EXPECT_TRUE(RunUntil(*window, handler, [&] { return handler.events.back() == after; }));
}

TEST(WindowTest, TimersTickUntilKilledAndRestartWhenSetAgain) {
    RecordingHandler handler;
    auto window = uitest::MakeWindow(handler, Rect{40, 40, 120, 80});
    ASSERT_NE(window, nullptr);
    int fast = 0;
    int slow = 0;
    handler.timer = [&](uint32_t id) {
        if (id == 1 && ++fast == 5) {
            window->KillTimer(1);
        } else if (id == 2) {
            ++slow;
        }
    };
    window->SetTimer(1, 10);
    window->SetTimer(2, 15);
    ASSERT_TRUE(RunUntil(*window, handler, [&] { return slow >= 20; }));
    EXPECT_EQ(fast, 5);

    // Set again with a long period: no tick in the next half second.
    window->SetTimer(2, 60000);
    const int before = slow;
    EXPECT_FALSE(RunUntil(
        *window, handler, [] { return false; }, std::chrono::milliseconds(500)));
    EXPECT_EQ(slow, before);
    window->KillTimer(2);

    // A modal run returns what ended it.
    handler.timer = [&](uint32_t id) {
        if (id == 3) {
            window->EndModal(42);
        }
    };
    window->SetTimer(3, 10);
    EXPECT_EQ(window->RunModal(), 42);
}

TEST(WindowTest, BoundsCentringAndVisibility) {
    RecordingHandler handler;
    handler.paint = [](platform::Canvas& canvas) { canvas.FillRect(Rect{0, 0, 400, 300}, kRed); };
    auto window = uitest::MakeWindow(handler, Rect{50, 60, 320, 240});
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->IsVisible());
    EXPECT_EQ(window->Bounds(), (Rect{50, 60, 320, 240}));

    const Rect screen = platform::ScreenBounds();
    ASSERT_GT(screen.width, 320);
    ASSERT_GT(screen.height, 240);
    window->CenterOnScreen();
    const Rect centred{screen.x + (screen.width - 320) / 2, screen.y + (screen.height - 240) / 2,
                       320, 240};
    EXPECT_EQ(window->Bounds(), centred);
    EXPECT_TRUE(RunUntil(*window, handler, [&] {
        return handler.movedX == centred.x && handler.movedY == centred.y;
    }));
    EXPECT_TRUE(window->IsVisible());

    const Rect moved{70, 80, 200, 100};
    window->SetBounds(moved);
    EXPECT_EQ(window->Bounds(), moved);
    Image shot;
    EXPECT_TRUE(RunUntil(*window, handler, [&] {
        shot = uitest::CaptureWindow(*window);
        return handler.movedX == moved.x && handler.movedY == moved.y &&
               shot.PixelAt(199, 99) == kRed;
    }));
    EXPECT_EQ(window->Bounds(), moved);
    // The window ends where it was made to: the pixel right of it is not its surface.
    EXPECT_NE(platform::CaptureScreen(Rect{moved.x + moved.width, moved.y, 1, 1}).PixelAt(0, 0),
              kRed);

    window->Hide();
    EXPECT_FALSE(window->IsVisible());
}

}  // namespace

namespace {

TEST(WindowTest, TextEntryKeepsItsTextInTheAnsiCodePage) {
    uitest::RecordingHandler handler;
    auto window = uitest::MakeWindow(handler, platform::Rect{30, 30, 200, 80});
    ASSERT_NE(window, nullptr);
    platform::TextEntry* entry = window->AddTextEntry(9, platform::Rect{10, 10, 150, 24});
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Id(), 9);
    EXPECT_EQ(entry->Text(), "");
    const std::string text = "\xC4\xE3\xBA\xC3 hi";  // 你好 hi
    entry->SetText(text);
    EXPECT_EQ(entry->Text(), text);
    entry->SetText("");
    EXPECT_EQ(entry->Text(), "");
}

}  // namespace
