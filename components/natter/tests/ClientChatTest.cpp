// The chat plug-in as the host uses it: found beside the program, created for the host's
// window, opened with a login record, taken away, and docked.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "ChatRecord.h"
#include "UiTestSupport.h"
#include "natter/ChatLoader.h"
#include "platform/Paths.h"

using platform::Rect;

namespace {

constexpr Rect kHostBounds{40, 50, 400, 300};
const std::string kName = "\xCD\xE6\xBC\xD2\xD2\xBB\xBA\xC5";  // 玩家一号

quorin::ChatRecord LoginFor(const std::string& name) {
    quorin::LaunchInfo launch;
    launch.ChatId = 7;
    launch.UserID = 1234;
    launch.Password = "pw";
    launch.ChatName = name;
    return quorin::BuildChatRecord(launch);
}

TEST(ChatLoader, ReturnsNullForWhatIsNoChatPlugin) {
    const std::string folder = platform::ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(natter::ChatLibrary::LoadFrom(platform::JoinPath(folder, "NoSuchChat.dll")), nullptr);
    EXPECT_EQ(natter::ChatLibrary::LoadFrom(platform::JoinPath(folder, NATTER_TEST_NO_EXPORT)),
              nullptr);
    EXPECT_EQ(natter::ChatLibrary::LoadFrom(""), nullptr);
}

// The plug-in is loaded once for these, as the host loads it once per run, and the host's
// window outlives the chats, as in the host.
class ClientChatTest : public ::testing::Test {
protected:
    struct Host {
        uitest::RecordingHandler handler;
        std::unique_ptr<platform::Window> window;
        std::unique_ptr<natter::ChatLibrary> library;  // goes first, and its chats with it
    };

    static void SetUpTestSuite() {
        host = new Host;
        host->handler.paint = [](platform::Canvas& canvas) {
            canvas.FillRect(Rect{0, 0, kHostBounds.width, kHostBounds.height},
                            platform::MakeRgb(90, 90, 90));
        };
        host->window = uitest::MakeWindow(host->handler, kHostBounds);
        host->library = natter::ChatLibrary::Load();
    }
    static void TearDownTestSuite() {
        delete host;
        host = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(host->window, nullptr);
        ASSERT_NE(host->library, nullptr)
            << "no " << natter::kChatLibraryName << " beside the tests";
        chat = host->library->CreateClientChat(host->window.get());
        ASSERT_NE(chat, nullptr);
    }
    void TearDown() override {
        if (chat != nullptr) {
            chat->HideChat();
        }
    }

    // Runs the host's window until it has painted, then `check`.
    void WhileShown(const std::function<void()>& check) {
        int ticks = 0;
        ASSERT_TRUE(uitest::RunUntil(*host->window, host->handler, [&] {
            if (++ticks < 15) {
                return false;
            }
            check();
            return true;
        }));
    }

    static Host* host;
    IClientChat* chat = nullptr;
};

ClientChatTest::Host* ClientChatTest::host = nullptr;

TEST_F(ClientChatTest, OpensForThePlayerAndRefusesOtherRecords) {
    EXPECT_FALSE(chat->IsChatVisible());
    EXPECT_STREQ(chat->GetChatName(), "");
    ASSERT_NE(chat->GetChatWindow(), nullptr);
    EXPECT_NE(chat->GetChatWindow()->NativeHandle(), nullptr);

    const quorin::ChatRecord login = LoginFor(kName);
    EXPECT_FALSE(chat->ShowChat(login.data(), 95));
    EXPECT_FALSE(chat->ShowChat(login.data(), 97));
    EXPECT_FALSE(chat->ShowChat(login.data(), -96));
    EXPECT_FALSE(chat->ShowChat(nullptr, 96));
    EXPECT_FALSE(chat->IsChatVisible());
    EXPECT_STREQ(chat->GetChatName(), "");

    ASSERT_TRUE(chat->ShowChat(login.data(), static_cast<int>(login.size())));
    EXPECT_TRUE(chat->IsChatVisible());
    EXPECT_EQ(chat->GetChatName(), kName);
    // Docked to the host's right edge, as high as the host.
    EXPECT_EQ(chat->GetChatWindow()->Bounds(),
              (Rect{kHostBounds.x + kHostBounds.width, kHostBounds.y, kClientChatWidth,
                    kHostBounds.height}));

    // A refused record leaves the open chat as it was.
    const quorin::ChatRecord other = LoginFor("other");
    EXPECT_FALSE(chat->ShowChat(other.data(), 64));
    EXPECT_EQ(chat->GetChatName(), kName);

    // Painted in the host's colours: the title strip, then the body.
    platform::Image screen;
    WhileShown([&] { screen = platform::CaptureScreen(chat->GetChatWindow()->Bounds()); });
    ASSERT_FALSE(screen.Empty());
    EXPECT_EQ(screen.PixelAt(kClientChatWidth - 5, 3), platform::MakeRgb(0x38, 0x4B, 0x70));
    EXPECT_EQ(screen.PixelAt(kClientChatWidth - 5, kHostBounds.height - 5),
              platform::MakeRgb(0x1E, 0x29, 0x40));

    chat->HideChat();
    EXPECT_FALSE(chat->IsChatVisible());
    chat->HideChat();  // twice changes nothing
    EXPECT_FALSE(chat->IsChatVisible());
    ASSERT_TRUE(chat->ShowChat(other.data(), 96));  // opens again, for the new player
    EXPECT_TRUE(chat->IsChatVisible());
    EXPECT_STREQ(chat->GetChatName(), "other");
}

TEST_F(ClientChatTest, StaysDockedWhereTheHostPutsItEvenWhileHidden) {
    const Rect docked{600, 80, kClientChatWidth, 300};
    chat->MoveChat(docked);
    EXPECT_FALSE(chat->IsChatVisible());
    EXPECT_EQ(chat->GetChatWindow()->Bounds(), docked);

    const quorin::ChatRecord login = LoginFor(kName);
    ASSERT_TRUE(chat->ShowChat(login.data(), 96));
    EXPECT_EQ(chat->GetChatWindow()->Bounds(), docked);  // the host's place, not its own

    const Rect moved{620, 90, kClientChatWidth, 300};
    chat->MoveChat(moved);
    EXPECT_TRUE(chat->IsChatVisible());
    EXPECT_EQ(chat->GetChatWindow()->Bounds(), moved);

    // Through the window system too, not only in what the window object remembers.
    platform::Image screen;
    WhileShown([&] { screen = platform::CaptureScreen(Rect{moved.x, moved.y + 3, 1, 1}); });
    ASSERT_FALSE(screen.Empty());
    EXPECT_EQ(screen.PixelAt(0, 0), platform::MakeRgb(0x0B, 0x10, 0x1B));  // the left edge
}

// What was posted to a chat window and not yet delivered goes with the plug-in: nothing of its
// code may run once it is unloaded.
TEST(ChatReload, PostsLeftForAChatDoNotOutliveThePlugin) {
    uitest::RecordingHandler host;
    auto window = uitest::MakeWindow(host, kHostBounds);
    ASSERT_NE(window, nullptr);
    auto library = natter::ChatLibrary::Load();
    ASSERT_NE(library, nullptr) << "no " << natter::kChatLibraryName << " beside the tests";
    IClientChat* chat = library->CreateClientChat(window.get());
    ASSERT_NE(chat, nullptr);
    chat->GetChatWindow()->PostClose();
    library.reset();
    int ticks = 0;
    EXPECT_TRUE(uitest::RunUntil(*window, host, [&] { return ++ticks > 10; }));
}

// A plug-in that is unloaded and loaded again makes its windows as the first time did. (Last,
// so that a plug-in that cannot come back fails this test alone.)
TEST(ChatReload, MakesChatsAgainAfterUnloading) {
    uitest::RecordingHandler host;
    auto window = uitest::MakeWindow(host, kHostBounds);
    ASSERT_NE(window, nullptr);
    for (int round = 0; round < 2; ++round) {
        auto library = natter::ChatLibrary::Load();
        ASSERT_NE(library, nullptr) << "no " << natter::kChatLibraryName << " beside the tests";
        EXPECT_NE(library->CreateClientChat(window.get()), nullptr) << "round " << round;
    }
}

}  // namespace
