// What the player types into the chat, through the X server as a keyboard would (xdotool),
// joins the conversation the chat keeps, and stays there while the chat is away.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ChatRecord.h"
#include "UiTestSupport.h"
#include "natter/ChatLoader.h"

namespace {

TEST(ChatConversation, KeepsWhatThePlayerTypes) {
    uitest::RecordingHandler hostHandler;
    auto host = uitest::MakeWindow(hostHandler, platform::Rect{40, 50, 400, 500});
    ASSERT_NE(host, nullptr);
    auto library = natter::ChatLibrary::Load();
    ASSERT_NE(library, nullptr);
    IClientChat* chat = library->CreateClientChat(host.get());
    ASSERT_NE(chat, nullptr);
    quorin::LaunchInfo launch;
    launch.ChatName = "Ann";
    const quorin::ChatRecord record = quorin::BuildChatRecord(launch);
    ASSERT_TRUE(chat->ShowChat(record.data(), static_cast<int>(record.size())));

    const platform::Rect at = chat->GetChatWindow()->Bounds();
    // The keys are typed while the chat runs its messages, as a player types.
    const std::string type = "(xdotool mousemove " + std::to_string(at.x + 60) + " " +
                             std::to_string(at.y + 349) +
                             " sleep 0.3 click 1 sleep 0.3; xdotool type --delay 30 hello;"
                             " xdotool sleep 0.2 key Return sleep 0.2 key Return) &";
    int ticks = 0;
    const bool typed = uitest::RunUntil(*host, hostHandler, [&] {
        if (++ticks == 10) {
            EXPECT_EQ(std::system(type.c_str()), 0);
        }
        return ticks > 150 && chat->GetConversationSize() >= 1;
    });
    EXPECT_EQ(std::system("xdotool mousemove 1270 1010"), 0);
    ASSERT_TRUE(typed);
    // The second Enter found the field empty: it adds nothing.
    ASSERT_EQ(chat->GetConversationSize(), 1);
    EXPECT_EQ(std::string(chat->GetConversationLine(0)), "Ann\xA3\xBAhello");
    EXPECT_EQ(std::string(chat->GetConversationLine(1)), "");

    chat->HideChat();
    ASSERT_TRUE(chat->ShowChat(record.data(), static_cast<int>(record.size())));
    EXPECT_EQ(chat->GetConversationSize(), 1);
}

}  // namespace
