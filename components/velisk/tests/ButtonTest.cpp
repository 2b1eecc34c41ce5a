// The skinned buttons in a real window: which frame of the strip shows over the parent's
// surface (read back from the screen), changing and losing the picture, and how strips are cut.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "UiTestSupport.h"
#include "lumaro/PngImage.h"
#include "velisk/PngButton.h"
#include "velisk/SkinButton.h"

using platform::Argb;
using platform::Rect;

namespace {

const std::string kSkin = VELISK_TEST_SKIN;
const std::string kClose = kSkin + "/lobby/PngBtn/Close.png";
const std::string kSoundOn = kSkin + "/lobby/Quorin/Sound_T.bmp";
const std::string kSoundOff = kSkin + "/lobby/Quorin/Sound_F.bmp";
const std::string kMissing = kSkin + "/lobby/Quorin/Missing.bmp";

constexpr Argb kParentColour = platform::MakeRgb(0, 160, 40);  // no skin uses it
constexpr Rect kWindowBounds{60, 60, 320, 120};

// What a premultiplied pixel gives drawn over the parent's colour.
Argb OverParent(Argb src) {
    const int a = platform::AlphaOf(src);
    auto channel = [&](int shift) {
        const int s = static_cast<int>((src >> shift) & 0xFF);
        const int d = static_cast<int>((kParentColour >> shift) & 0xFF);
        return static_cast<Argb>(s + (d * (255 - a) + 127) / 255) << shift;
    };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

bool Near(Argb a, Argb b) {
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                     static_cast<int>((b >> shift) & 0xFF)) > 2) {
            return false;
        }
    }
    return true;
}

// Whether the screen under `bounds` (window coordinates) shows frame `frame` of a four-frame
// strip over the parent's colour; an empty strip means the parent's colour alone.
::testing::AssertionResult ShowsFrame(const platform::Image& screen, Rect bounds,
                                      const platform::Image& strip, int frame) {
    const int frameWidth = strip.Width() / 4;
    for (int y = 0; y < bounds.height; ++y) {
        for (int x = 0; x < bounds.width; ++x) {
            const Argb expected = strip.Empty()
                                      ? kParentColour
                                      : OverParent(strip.PixelAt(frame * frameWidth + x, y));
            const Argb actual = screen.PixelAt(bounds.x + x, bounds.y + y) | 0xFF000000u;
            if (!Near(actual, expected)) {
                char text[80];
                std::snprintf(text, sizeof text, "at (%d, %d) %08X, expected %08X", x, y,
                              static_cast<unsigned>(actual), static_cast<unsigned>(expected));
                return ::testing::AssertionFailure() << text;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

platform::Image Load(const std::string& path) {
    platform::Image image;
    EXPECT_TRUE(image.Load(path)) << path;
    return image;
}

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent.paint = [](platform::Canvas& canvas) {
            canvas.FillRect(Rect{0, 0, kWindowBounds.width, kWindowBounds.height}, kParentColour);
        };
        window = uitest::MakeWindow(parent, kWindowBounds);
        ASSERT_NE(window, nullptr);
    }

    // Shows the window, lets it paint, and reads back what is on screen under it.
    platform::Image ShowAndCapture() {
        platform::Image screen;
        int ticks = 0;
        uitest::RunUntil(*window, parent, [&] {
            if (++ticks < 15) {
                return false;
            }
            screen = uitest::CaptureWindow(*window);
            return true;
        });
        EXPECT_FALSE(screen.Empty());
        return screen;
    }

    uitest::RecordingHandler parent;
    std::unique_ptr<platform::Window> window;
};

TEST_F(ButtonTest, PngButtonShowsTheFrameOfItsState) {
    // As the host does it: created empty, given its picture, moved, handed the background.
    CPngButton button;
    ASSERT_TRUE(button.Create(*window, 1001, Rect{}));
    EXPECT_FALSE(button.Create(*window, 1002, Rect{}));  // one control per object
    ASSERT_TRUE(button.LoadImageFile(kClose.c_str(), false));
    const Rect bounds{200, 0, 27, 25};
    button.MoveWindow(bounds.x, bounds.y, bounds.width, bounds.height);
    CPngImage background;
    ASSERT_TRUE(background.LoadImage((kSkin + "/lobby/Quorin/bg.png").c_str()));
    button.SetBkGnd(background);
    EXPECT_EQ(button.GetBkGnd(), &background);
    EXPECT_EQ(button.GetDlgCtrlID(), 1001);
    EXPECT_EQ(button.GetBounds(), bounds);
    EXPECT_EQ(button.GetFrameWidth(), 27);
    EXPECT_TRUE(button.IsVisible());

    const platform::Image strip = Load(kClose);
    platform::Image screen = ShowAndCapture();
    EXPECT_TRUE(ShowsFrame(screen, bounds, strip, 0));
    EXPECT_FALSE(ShowsFrame(screen, bounds, strip, 1));

    button.EnableWindow(false);
    EXPECT_FALSE(button.IsWindowEnabled());
    screen = ShowAndCapture();
    EXPECT_TRUE(ShowsFrame(screen, bounds, strip, 3));
    EXPECT_FALSE(ShowsFrame(screen, bounds, strip, 0));

    button.ShowWindow(false);  // the host's hidden chat button
    EXPECT_FALSE(button.IsVisible());
    EXPECT_TRUE(ShowsFrame(ShowAndCapture(), bounds, platform::Image(), 0));
}

TEST_F(ButtonTest, SkinButtonChangesAndLosesItsPicture) {
    CSkinButton button;
    const Rect bounds{20, 6, 57, 17};
    ASSERT_TRUE(button.SetButtonImage(kSoundOn.c_str(), false));  // shown once created
    ASSERT_TRUE(button.Create(*window, 1002, bounds));
    const platform::Image on = Load(kSoundOn);
    const platform::Image off = Load(kSoundOff);
    EXPECT_TRUE(ShowsFrame(ShowAndCapture(), bounds, on, 0));

    ASSERT_TRUE(button.SetButtonImage(kSoundOff.c_str(), false));
    const platform::Image screen = ShowAndCapture();
    EXPECT_TRUE(ShowsFrame(screen, bounds, off, 0));
    EXPECT_FALSE(ShowsFrame(screen, bounds, on, 0));

    // A picture that cannot be read: the button stays, without any picture.
    EXPECT_FALSE(button.SetButtonImage(kMissing.c_str(), false));
    EXPECT_FALSE(button.SetButtonImage(nullptr, false));
    EXPECT_TRUE(button.IsVisible());
    EXPECT_FALSE(button.HasPicture());
    EXPECT_EQ(button.GetBounds(), bounds);
    EXPECT_TRUE(ShowsFrame(ShowAndCapture(), bounds, platform::Image(), 0));
}

TEST_F(ButtonTest, StripsAreCutIntoFourFramesUnlessOneFrameFits) {
    CPngButton button;
    EXPECT_FALSE(button.IsVisible());  // harmless before Create
    button.MoveWindow(1, 2, 3, 4);
    EXPECT_EQ(button.GetBounds(), Rect{});

    ASSERT_TRUE(button.Create(*window, 1, Rect{}));
    ASSERT_TRUE(button.LoadImageFile((kSkin + "/lobby/Quorin/Title.png").c_str()));
    EXPECT_EQ(button.GetFrameWidth(), 290);  // not a multiple of four: one frame

    ASSERT_TRUE(button.LoadImageFile((kSkin + "/GameLogo/LogoURL.png").c_str()));
    EXPECT_EQ(button.GetFrameWidth(), 35);  // 140 wide: four frames...
    button.SetBounds(Rect{0, 0, 140, 20});  // ...unless the button is as wide as the picture
    EXPECT_EQ(button.GetFrameWidth(), 140);
    button.SetBounds(Rect{0, 0, 35, 20});
    EXPECT_EQ(button.GetFrameWidth(), 35);
}

}  // namespace
