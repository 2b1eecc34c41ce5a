#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "platform/CommandLineSplit.h"
#include "platform/Image.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

namespace {

using platform::Argb;
using platform::Image;
using platform::MakeRgb;
using Args = std::vector<std::string>;

std::string UniqueName(const std::string& stem) {
    std::random_device random;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return stem + "-" + std::to_string(random()) + "-" + std::to_string(now);
}

TEST(CommandLineSplitTest, ReadsArgumentsAsTheCRuntimeDoes) {
    EXPECT_EQ(platform::SplitCommandLine(""), Args{});
    EXPECT_EQ(platform::SplitCommandLine("  \t "), Args{});
    EXPECT_EQ(platform::SplitCommandLine("  help.exe 12  \"two words\""),
              (Args{"help.exe", "12", "two words"}));
    // The program's name keeps its backslashes, even one before the closing quote.
    EXPECT_EQ(platform::SplitCommandLine("\"C:\\Game Dir\\\" x"), (Args{"C:\\Game Dir\\", "x"}));
    EXPECT_EQ(platform::SplitCommandLine("\"a b\"c d"), (Args{"a bc", "d"}));
    EXPECT_EQ(platform::SplitCommandLine("p a\\\\\\\"b c\\\\\"d e\" f\\g"),
              (Args{"p", "a\\\"b", "c\\d e", "f\\g"}));
    EXPECT_EQ(platform::SplitCommandLine("p \"\" \"x\"\"y\" end\""),
              (Args{"p", "", "x\"y", "end"}));
    // GBK bytes pass through untouched ("汉字").
    EXPECT_EQ(platform::SplitCommandLine("p \"\xBA\xBA \xD7\xD6\""),
              (Args{"p", "\xBA\xBA \xD7\xD6"}));
}

TEST(ShellTest, StartProcessRefusesWhatCannotStart) {
    EXPECT_FALSE(platform::StartProcess(""));
    EXPECT_FALSE(platform::StartProcess(UniqueName("no-such-program")));
    EXPECT_FALSE(platform::StartProcess(UniqueName("no-such-folder") + "/program arg"));
}

TEST(ShellTest, OpenWithShellRefusesAMissingFile) {
    const std::string missing = platform::JoinPath(platform::CurrentFolder(), UniqueName("none"));
    EXPECT_FALSE(platform::OpenWithShell(missing + ".lobbytest"));
    EXPECT_FALSE(platform::OpenWithShell(""));
}

TEST(ShellTest, DesktopFolderExistsOrIsEmpty) {
    const std::string desktop = platform::DesktopFolder();
    if (!desktop.empty()) {
        EXPECT_TRUE(std::filesystem::is_directory(desktop)) << desktop;
        EXPECT_NE(desktop.back(), platform::kPathSeparator);
    }
}

TEST(ShellTest, SingleInstanceLockIsHeldOnceUntilReleased) {
    const std::string name = UniqueName("ui test lock/\\:*");
    {
        platform::SingleInstanceLock first(name);
        EXPECT_TRUE(first.IsHeld());
        platform::SingleInstanceLock second(name);
        EXPECT_FALSE(second.IsHeld());
        platform::SingleInstanceLock other(name + "x");
        EXPECT_TRUE(other.IsHeld());
    }
    platform::SingleInstanceLock again(name);
    EXPECT_TRUE(again.IsHeld());
}

TEST(ShellTest, SavePngWritesWhatLoadReadsBack) {
    const Argb pixels[] = {MakeRgb(255, 0, 0),   MakeRgb(0, 255, 0),
                           MakeRgb(0, 0, 255),   MakeRgb(1, 2, 3),
                           MakeRgb(250, 128, 7), platform::Premultiply(128, 200, 100, 50)};
    Image image;
    ASSERT_TRUE(image.Assign(3, 2, pixels));
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / (UniqueName("ui-shot") + ".png");
    ASSERT_TRUE(platform::SavePng(image, file.string()));
    Image loaded;
    ASSERT_TRUE(loaded.Load(file.string()));
    std::filesystem::remove(file);
    ASSERT_EQ(loaded.Width(), 3);
    ASSERT_EQ(loaded.Height(), 2);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(loaded.PixelAt(i % 3, i / 3), pixels[i]) << i;
    }
    // Half transparent: un-premultiplied into the file and back, within rounding.
    const Argb half = loaded.PixelAt(2, 1);
    EXPECT_EQ(platform::AlphaOf(half), 128);
    EXPECT_NEAR(platform::RedOf(half), platform::RedOf(pixels[5]), 1);
    EXPECT_NEAR(platform::BlueOf(half), platform::BlueOf(pixels[5]), 1);

    EXPECT_FALSE(platform::SavePng(Image(), (file.parent_path() / "empty.png").string()));
    const std::filesystem::path nowhere =
        std::filesystem::temp_directory_path() / UniqueName("no-folder") / "x.png";
    EXPECT_FALSE(platform::SavePng(image, nowhere.string()));
}

TEST(ShellTest, CaptureScreenOfNothingIsEmpty) {
    EXPECT_TRUE(platform::CaptureScreen(platform::Rect{0, 0, 0, 10}).Empty());
    EXPECT_TRUE(platform::CaptureScreen(platform::Rect{0, 0, 10, -1}).Empty());
}

}  // namespace
