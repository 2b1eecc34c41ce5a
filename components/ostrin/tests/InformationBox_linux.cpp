// The information box answered from outside, as the player would: xdotool finds it by its
// caption and presses Enter; the call then returns OK.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ostrin/Capture.h"
#include "platform/Window.h"

namespace {

TEST(ShowInformationEx, ShowsTheBoxUntilItIsAnswered) {
    ASSERT_TRUE(platform::InitWindowing()) << "no display: GUI tests need one (Xvfb)";
    const std::filesystem::path found =
        std::filesystem::temp_directory_path() / ("ostrin-box-" + std::to_string(getpid()));
    std::filesystem::remove(found);
    // Looks for the box for up to 10 s and notes that it saw it; a box that never shows
    // leaves this test to the runner's time limit, which fails it.
    const std::string answer =
        "sh -c 'for i in $(seq 1 100); do "
        "id=$(xdotool search --name \"^OstrinInfoTest$\" 2>/dev/null | head -n 1); "
        "if [ -n \"$id\" ]; then touch \"" +
        found.string() +
        "\"; sleep 0.3; xdotool windowfocus --sync \"$id\" key Return; exit 0; fi; "
        "sleep 0.1; done' >/dev/null 2>&1 &";
    ASSERT_EQ(std::system(answer.c_str()), 0);
    EXPECT_EQ(ShowInformationEx("\xBD\xD8\xCD\xBC\xB3\xC9\xB9\xA6", nullptr, kMbIconInformation,
                                "OstrinInfoTest", 0),
              kIdOk);
    EXPECT_TRUE(std::filesystem::exists(found)) << "the box was not on screen";
    std::filesystem::remove(found);
}

}  // namespace
