// The lobby link end to end: the platform's link talking to the stand-in lobby program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "LobbyFixture.h"
#include "platform/LobbyLink.h"

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using Clock = std::chrono::steady_clock;

namespace {

class LobbyLinkTest : public lobbytest::LobbyFixture {};

TEST_F(LobbyLinkTest, HandBackAndNotificationsArriveInOrderWithTheirValues) {
    ASSERT_TRUE(StartLobby({"1"}));
    platform::LobbyWindow window = platform::LobbyWindow::Find();
    ASSERT_TRUE(window.IsFound());
    EXPECT_EQ(window.Send(1424, 0, 0), 0);
    EXPECT_TRUE(window.Show(5));
    EXPECT_TRUE(window.Post(1324, 0, 0));
    EXPECT_THAT(WaitForRecordLines(4),
                ElementsAre("start 1", "send 1424 0 0", "show 5", "post 1324 0 0"));

    // A second look-up (a second connection where the lobby is a socket) reaches the same
    // lobby; values keep their full width and sign.
    platform::LobbyWindow again = platform::LobbyWindow::Find();
    ASSERT_TRUE(again);
    EXPECT_EQ(again.Send(1125, 4, 0), 0);
    EXPECT_TRUE(again.Post(1125, 2, 12));
    EXPECT_TRUE(again.Post(1125, 0xFFFFFFFFFFull, -5));
    const std::vector<std::string> lines = WaitForRecordLines(7);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_THAT(std::vector<std::string>(lines.begin() + 4, lines.end()),
                ElementsAre("send 1125 4 0", "post 1125 2 12", "post 1125 1099511627775 -5"));
}

TEST_F(LobbyLinkTest, SendReturnsTheLobbysAnswer) {
    ASSERT_TRUE(StartLobby({"--answer", "-7"}));
    platform::LobbyWindow window = platform::LobbyWindow::Find();
    ASSERT_TRUE(window);
    EXPECT_EQ(window.Send(1424, 0, 0), -7);
    EXPECT_EQ(window.Send(1424, 1, 2), -7);
    EXPECT_THAT(WaitForRecordLines(3), ElementsAre("start", "send 1424 0 0", "send 1424 1 2"));
}

TEST_F(LobbyLinkTest, WithoutALobbyNothingIsFoundAndNothingWaits) {
    const auto started = Clock::now();
    EXPECT_FALSE(platform::LobbyWindow::Exists());
    platform::LobbyWindow window = platform::LobbyWindow::Find();
    EXPECT_FALSE(window.IsFound());
    EXPECT_FALSE(window.Post(1324, 0, 0));
    EXPECT_FALSE(window.Show(5));
    EXPECT_EQ(window.Send(1424, 0, 0, 5s), std::nullopt);
    EXPECT_LT(Clock::now() - started, 1s);
}

TEST_F(LobbyLinkTest, SendToALobbyThatNeverAnswersTimesOut) {
    ASSERT_TRUE(StartLobby({"--no-answer"}));
    platform::LobbyWindow window = platform::LobbyWindow::Find();
    ASSERT_TRUE(window);
    const auto started = Clock::now();
    EXPECT_EQ(window.Send(1424, 0, 0, 300ms), std::nullopt);
    const auto waited = Clock::now() - started;
    EXPECT_GE(waited, 250ms);
    EXPECT_LT(waited, 3s);
    EXPECT_THAT(WaitForRecordLines(2), ElementsAre("start", "send 1424 0 0"));
}

TEST_F(LobbyLinkTest, LobbyEndingDuringASendFailsItWithoutWaitingForTheTimeOut) {
    ASSERT_TRUE(StartLobby({"--quit-on-send"}));
    platform::LobbyWindow window = platform::LobbyWindow::Find();
    ASSERT_TRUE(window);
    const auto started = Clock::now();
    EXPECT_EQ(window.Send(1424, 0, 0, 8s), std::nullopt);
    EXPECT_LT(Clock::now() - started, 4s);
    ASSERT_TRUE(lobby_.WaitForExit(5s));
    // The window is gone: what is still aimed at it fails instead of hanging or crashing.
    EXPECT_FALSE(window.Post(1324, 0, 0));
    EXPECT_EQ(window.Send(1424, 0, 0, 1s), std::nullopt);
    EXPECT_FALSE(platform::LobbyWindow::Exists());
    EXPECT_THAT(WaitForRecordLines(2), ElementsAre("start", "send 1424 0 0"));
}

TEST_F(LobbyLinkTest, PollingSeesTheLobbyGoAwayWhenItEnds) {
    ASSERT_TRUE(StartLobby({"--exit-after-ms", "400"}));
    EXPECT_TRUE(platform::LobbyWindow::Exists());
    // As the updater waits for the lobby before starting it again: poll, 50 ms apart.
    int polls = 0;
    while (platform::LobbyWindow::Exists() && polls < 100) {
        std::this_thread::sleep_for(50ms);
        ++polls;
    }
    EXPECT_LT(polls, 100);
    EXPECT_TRUE(lobby_.WaitForExit(5s));
}

TEST_F(LobbyLinkTest, KilledLobbyIsNotFoundAndANewLobbyTakesItsPlace) {
    ASSERT_TRUE(StartLobby({"first"}));
    lobby_.Kill();
    EXPECT_FALSE(platform::LobbyWindow::Exists());

    ASSERT_TRUE(StartLobby({"second"}));
    platform::LobbyWindow window = platform::LobbyWindow::Find();
    ASSERT_TRUE(window);
    EXPECT_EQ(window.Send(1424, 0, 0), 0);
    EXPECT_THAT(WaitForRecordLines(3), ElementsAre("start first", "start second", "send 1424 0 0"));
}

}  // namespace
