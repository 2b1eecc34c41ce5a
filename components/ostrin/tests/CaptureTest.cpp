// Capture1 on a painted window: the saved PNG holds what was on screen; every way of not
// saving says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "UiTestSupport.h"
#include "ostrin/Capture.h"
#include "platform/CodePage.h"

using platform::Rect;

namespace {

constexpr Rect kBounds{80, 70, 200, 100};
constexpr platform::Argb kLeft = platform::MakeRgb(200, 30, 30);
constexpr platform::Argb kRight = platform::MakeRgb(20, 40, 220);

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        handler.paint = [](platform::Canvas& canvas) {
            canvas.FillRect(Rect{0, 0, kBounds.width / 2, kBounds.height}, kLeft);
            canvas.FillRect(Rect{kBounds.width / 2, 0, kBounds.width / 2, kBounds.height}, kRight);
        };
        window = uitest::MakeWindow(handler, kBounds);
        ASSERT_NE(window, nullptr);
        folder = std::filesystem::temp_directory_path() /
                 (std::string("ostrin-test-") +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // Runs `capture` once the shown window has painted.
    void WhileShown(const std::function<void()>& capture) {
        int ticks = 0;
        ASSERT_TRUE(uitest::RunUntil(*window, handler, [&] {
            if (++ticks < 15) {
                return false;
            }
            capture();
            return true;
        }));
    }

    uitest::RecordingHandler handler;
    std::unique_ptr<platform::Window> window;
    std::filesystem::path folder;
};

TEST_F(CaptureTest, SavesThePaintedAreaAsPng) {
    const std::string path = (folder / "shot.png").string();
    Capture1 capture;
    WhileShown([&] { capture.CaptureImage(kBounds, ENCODE_PNG, 0, true, path.c_str()); });
    ASSERT_TRUE(capture.LastSaved());
    EXPECT_EQ(std::string(capture.SavedPath()), path);

    platform::Image saved;
    ASSERT_TRUE(saved.Load(path));
    EXPECT_EQ(saved.Width(), kBounds.width);
    EXPECT_EQ(saved.Height(), kBounds.height);
    EXPECT_EQ(saved.PixelAt(10, 50), kLeft);
    EXPECT_EQ(saved.PixelAt(kBounds.width - 10, 50), kRight);
    EXPECT_EQ(saved.PixelAt(kBounds.width / 2 - 1, kBounds.height - 1), kLeft);
}

TEST_F(CaptureTest, ReportsWhatItDidNotSave) {
    Capture1 capture;
    const std::string good = (folder / "good.png").string();
    const std::string noFolder = (folder / "missing" / "shot.png").string();
    const std::string otherEncoding = (folder / "other.png").string();
    const std::string empty = (folder / "empty.png").string();
    WhileShown([&] {
        capture.CaptureImage(kBounds, ENCODE_PNG, 0, true, good.c_str());
        EXPECT_TRUE(capture.LastSaved());
        // A failure after a success clears what the success reported.
        capture.CaptureImage(kBounds, ENCODE_PNG, 0, true, noFolder.c_str());
        EXPECT_FALSE(capture.LastSaved());
        EXPECT_STREQ(capture.SavedPath(), "");
        capture.CaptureImage(kBounds, 0, 0, true, otherEncoding.c_str());
        EXPECT_FALSE(capture.LastSaved());
        capture.CaptureImage(Rect{kBounds.x, kBounds.y, 0, 10}, ENCODE_PNG, 0, true, empty.c_str());
        EXPECT_FALSE(capture.LastSaved());
    });
    EXPECT_TRUE(std::filesystem::exists(good));
    EXPECT_FALSE(std::filesystem::exists(noFolder));
    EXPECT_FALSE(std::filesystem::exists(otherEncoding));
    EXPECT_FALSE(std::filesystem::exists(empty));
}

// Without a file name the picture goes to the real desktop folder under a new name each time;
// where the user has no desktop folder (a service account), nothing is saved and it says so.
TEST_F(CaptureTest, SavesToTheDesktopUnderNewNames) {
    const std::string desktop = platform::DesktopFolder();
    Capture1 first;
    Capture1 second;
    WhileShown([&] {
        first.CaptureImage(kBounds, ENCODE_PNG, 0, true, nullptr);
        second.CaptureImage(kBounds, ENCODE_PNG, 0, true, nullptr);
    });
    if (desktop.empty()) {
        EXPECT_FALSE(first.LastSaved());
        EXPECT_STREQ(first.SavedPath(), "");
        return;
    }
    ASSERT_TRUE(first.LastSaved()) << desktop;
    ASSERT_TRUE(second.LastSaved());
    const std::string a = first.SavedPath();
    const std::string b = second.SavedPath();
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(desktop, 0), 0u) << a;
    platform::Image saved;
    EXPECT_TRUE(saved.Load(a));
    EXPECT_EQ(saved.Width(), kBounds.width);
    // The names are ANSI (GBK); the file system's own spelling comes through UTF-8.
    for (const std::string& path : {a, b}) {
        EXPECT_TRUE(std::filesystem::remove(std::filesystem::u8path(platform::AnsiToUtf8(path))));
    }
}

}  // namespace
