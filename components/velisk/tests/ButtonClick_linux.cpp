// A click on a skinned button through the X server, as a player's mouse would make it
// (xdotool), reaches the parent's handler with the button's id.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "UiTestSupport.h"
#include "velisk/SkinButton.h"

namespace {

TEST(SkinButtonClick, ReachesTheParentAsItsCommand) {
    uitest::RecordingHandler parent;
    const platform::Rect bounds{300, 400, 200, 60};
    auto window = uitest::MakeWindow(parent, bounds);
    ASSERT_NE(window, nullptr);
    CSkinButton button;
    ASSERT_TRUE(button.Create(*window, 1003, platform::Rect{40, 20, 57, 17}));
    ASSERT_TRUE(button.SetButtonImage(VELISK_TEST_SKIN "/lobby/Quorin/PrintScreen.bmp"));

    const std::string click = "xdotool mousemove " + std::to_string(bounds.x + 60) + " " +
                              std::to_string(bounds.y + 28) + " sleep 0.2 click 1";
    int ticks = 0;
    const bool clicked = uitest::RunUntil(*window, parent, [&] {
        if (++ticks == 10) {
            EXPECT_EQ(std::system(click.c_str()), 0);
        }
        return !parent.events.empty();
    });
    EXPECT_EQ(std::system("xdotool mousemove 1270 1010"), 0);  // out of the next test's way
    ASSERT_TRUE(clicked);
    EXPECT_EQ(parent.events, (std::vector<uitest::Event>{{uitest::Event::Kind::kCommand, 1003}}));
}

}  // namespace
