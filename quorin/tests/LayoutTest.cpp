#include <gtest/gtest.h>

#include "ChatRecord.h"
#include "CommandLine.h"
#include "Layout.h"

namespace quorin {
namespace {

TEST(Layout, LobbyWindowOf1024) {
    const MainLayout layout = ComputeMainLayout(1024, 768);
    EXPECT_EQ(layout.mainPage.x, 380);
    EXPECT_EQ(layout.help.x, 446);
    EXPECT_EQ(layout.screenshot.x, 512);
    EXPECT_EQ(layout.sound.x, 578);
    EXPECT_EQ(layout.settings, (Rect{943, 0, 27, 25}));
    EXPECT_EQ(layout.minimise, (Rect{970, 0, 27, 25}));
    EXPECT_EQ(layout.close, (Rect{997, 0, 27, 25}));
    EXPECT_EQ(layout.chat, (Rect{862, 0, 72, 25}));
    EXPECT_EQ(layout.browser, (Rect{5, 27, 1014, 736}));
    EXPECT_EQ(TitleX(1024, 200), 405);
}

TEST(Layout, HelpWindowAndOddWidths) {
    const MainLayout help = ComputeMainLayout(kHelpWidth, kHelpHeight);
    EXPECT_EQ(help.browser, (Rect{5, 27, 768, 433}));
    EXPECT_EQ(help.close.x, 751);
    EXPECT_EQ(help.minimise.x, 724);
    // Halving rounds toward zero.
    EXPECT_EQ(ComputeMainLayout(1025, 768).screenshot.x, 512);
    EXPECT_EQ(TitleX(1025, 200), 405);
}

TEST(Layout, OnlyTheTitleStripDrags) {
    EXPECT_TRUE(IsDragPoint(0));
    EXPECT_TRUE(IsDragPoint(27));
    EXPECT_FALSE(IsDragPoint(28));
}

TEST(Layout, FramePiecesCoverTheBorderExactly) {
    const auto pieces = FramePieces(1024, 768, 300, 200);
    // Top strip stretches the skin's middle; the bottom-right corner comes from its corner.
    EXPECT_EQ(pieces[4].destination, (Rect{5, 0, 1014, 27}));
    EXPECT_EQ(pieces[4].source, (Rect{5, 0, 290, 27}));
    EXPECT_EQ(pieces[3].destination, (Rect{1019, 763, 5, 5}));
    EXPECT_EQ(pieces[3].source, (Rect{295, 195, 5, 5}));
    EXPECT_EQ(pieces[7].destination, (Rect{1019, 27, 5, 736}));
    EXPECT_EQ(pieces[7].source, (Rect{295, 27, 5, 168}));
    // The border and the browser together tile the window without overlap.
    long long area = 0;
    for (const FramePiece& piece : pieces) {
        area += 1LL * piece.destination.width * piece.destination.height;
    }
    const Rect browser = ComputeMainLayout(1024, 768).browser;
    EXPECT_EQ(area + 1LL * browser.width * browser.height, 1024LL * 768);
}

TEST(ChatRecordTest, FieldsSitAtTheirOffsets) {
    LaunchInfo launch;
    launch.ChatId = 0x01020304;
    launch.UserID = 0xA0B0C0D0;
    launch.Password = std::string(32, 'p');
    launch.ChatName = "\xD0\xD0name";
    launch.SystemVer = 7;
    launch.ComputerID[0] = 8;
    launch.ComputerID[1] = 9;
    launch.ComputerID[2] = 0xFFFFFFFF;
    const ChatRecord record = BuildChatRecord(launch);
    ASSERT_EQ(record.size(), 96u);
    EXPECT_EQ(record[0], 0x04);
    EXPECT_EQ(record[3], 0x01);
    for (int i = 4; i < 8; ++i) {
        EXPECT_EQ(record[i], 0) << i;
    }
    EXPECT_EQ(record[8], 0xD0);
    EXPECT_EQ(record[11], 0xA0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record[12]), 32), launch.Password);
    EXPECT_EQ(record[44], 0);  // terminator of a full password
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record[45])), launch.ChatName);
    for (int i = 45 + 6; i < 80; ++i) {
        EXPECT_EQ(record[i], 0) << i;
    }
    EXPECT_EQ(record[80], 7);
    EXPECT_EQ(record[84], 8);
    EXPECT_EQ(record[88], 9);
    EXPECT_EQ(record[95], 0xFF);
}

TEST(ChatRecordTest, OverlongTextsNeverSpillIntoTheNextField) {
    LaunchInfo launch;
    launch.Password = std::string(50, 'p');
    launch.ChatName = std::string(50, 'n');
    launch.SystemVer = 0x11111111;
    const ChatRecord record = BuildChatRecord(launch);
    EXPECT_EQ(record[44], 0);
    EXPECT_EQ(record[45], 'n');
    EXPECT_EQ(record[76], 0);
    EXPECT_EQ(record[80], 0x11);
}

}  // namespace
}  // namespace quorin
