#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CommandLine.h"
#include "Toolbar.h"
#include "platform/CommandLineSplit.h"
#include "platform/Ini.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

// Records what the window is asked to do, in order.
class FakeWindow : public IToolbarHost, public IPageHost {
public:
    void Minimise() override { log.push_back("minimise"); }
    void EndWindow() override { log.push_back("end"); }
    void HandBackToLobby() override { log.push_back("lobby"); }
    void SetSoundPicture(bool on) override { log.push_back(on ? "picture on" : "picture off"); }
    bool CaptureWindow() override { return captureWorks; }
    void ShowMessage(const std::string& text) override { log.push_back("message " + text); }
    void OpenWithShell(const std::string& address) override { log.push_back("open " + address); }
    bool StartProcess(const std::string& commandLine) override {
        processes.push_back(platform::SplitCommandLine(commandLine));
        return true;
    }
    bool IsSettingsVisible() override { return settingsVisible; }
    void ShowSettings(bool visible) override { settingsVisible = visible; }
    void ToggleChat() override { log.push_back("chat"); }
    bool CallPage(int32_t id, const std::string& text) override {
        log.push_back("page " + std::to_string(id) + "," + text);
        return true;
    }
    void PostClose() override { log.push_back("post close"); }

    std::vector<std::string> log;
    std::vector<std::vector<std::string>> processes;
    bool captureWorks = true;
    bool settingsVisible = false;
};

class ToolbarTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("quorin-toolbar-") + test->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        launch_ =
            ReadCommandLine({"1", "pw", "12", "3", "ip", "80", "5", "6", "7", "8", "My Game"});
        settings_.Load(dir_.string());
    }
    void TearDown() override { fs::remove_all(dir_); }

    ToolbarCommands Make() {
        return ToolbarCommands(window_, page_, launch_, dir_.string(), "Quorin.exe");
    }

    fs::path dir_;
    FakeWindow window_;
    LaunchInfo launch_;
    SoundSettings settings_;
    PageCommands page_{window_, launch_, settings_};
};

TEST_F(ToolbarTest, SoundButtonFlipsTheSwitchAndTellsThePage) {
    ToolbarCommands toolbar = Make();
    EXPECT_TRUE(toolbar.OnCommand(kCmdSound));
    EXPECT_TRUE(toolbar.OnCommand(kCmdSound));
    EXPECT_EQ(window_.log,
              (std::vector<std::string>{"picture off", "page 1,0", "picture on", "page 1,1"}));
    const std::string file = (dir_ / "SystemOption.ini").string();
    EXPECT_EQ(platform::GetIniInt("PlaySound", "bPlay", 7, file.c_str()), 1u);
}

TEST_F(ToolbarTest, CloseHandsBackToTheLobbyUnlessTheWindowIsHelp) {
    ToolbarCommands toolbar = Make();
    EXPECT_TRUE(toolbar.OnCommand(kCmdClose));
    EXPECT_EQ(window_.log, (std::vector<std::string>{"lobby", "end"}));

    window_.log.clear();
    launch_ = ReadCommandLine({"12", "Help"});
    toolbar.OnCancel();
    EXPECT_EQ(window_.log, (std::vector<std::string>{"end"}));
}

TEST_F(ToolbarTest, ConfirmedCloseAsksThePageFirst) {
    ToolbarCommands toolbar = Make();
    page_.OnJsMessage(JSCMD_CONFIRM_CLOSE, "");
    toolbar.OnCancel();
    EXPECT_EQ(window_.log, (std::vector<std::string>{"page 3,0"}));
    page_.OnJsMessage(JSCMD_CLOSE, "");
    toolbar.OnCancel();  // the posted close message arrives
    EXPECT_EQ(window_.log, (std::vector<std::string>{"page 3,0", "post close", "lobby", "end"}));
}

TEST_F(ToolbarTest, ScreenshotReportsWhatHappened) {
    ToolbarCommands toolbar = Make();
    toolbar.OnCommand(kCmdScreenshot);
    window_.captureWorks = false;
    toolbar.OnCommand(kCmdScreenshot);
    EXPECT_EQ(window_.log, (std::vector<std::string>{std::string("message ") + kScreenshotSaved,
                                                     std::string("message ") + kScreenshotFailed}));
}

TEST_F(ToolbarTest, HelpStartsASecondHostOnTheHelpForm) {
    ToolbarCommands toolbar = Make();
    toolbar.OnCommand(kCmdHelp);
    ASSERT_EQ(window_.processes.size(), 1u);
    EXPECT_EQ(window_.processes[0], (std::vector<std::string>{"Quorin.exe", "12", "My Game"}));
    // The second host reads it as the help form.
    const std::vector<std::string> args(window_.processes[0].begin() + 1,
                                        window_.processes[0].end());
    EXPECT_EQ(ReadCommandLine(args).LaunchMode, ELaunchMode::HelpPage);

    launch_.KindID = 0;
    toolbar.OnCommand(kCmdHelp);
    EXPECT_EQ(window_.processes.size(), 1u);
}

TEST_F(ToolbarTest, MainPageSettingsChatAndMinimise) {
    std::ofstream(dir_ / "LobbyUrl.ini") << "[URL]\r\nMainPage=http://lobby.example/\r\n";
    ToolbarCommands toolbar = Make();
    toolbar.OnCommand(kCmdMainPage);
    toolbar.OnCommand(kCmdSettings);
    EXPECT_TRUE(window_.settingsVisible);
    toolbar.OnCommand(kCmdSettings);
    EXPECT_FALSE(window_.settingsVisible);
    toolbar.OnCommand(kCmdChat);
    toolbar.OnCommand(0x10000 | kCmdMinimise);  // only the low word counts
    EXPECT_FALSE(toolbar.OnCommand(1008));
    EXPECT_EQ(window_.log,
              (std::vector<std::string>{"open http://lobby.example/", "chat", "minimise"}));
}

TEST(HelpCommand, ReadsBackAsThreeArguments) {
    EXPECT_EQ(HelpCommandLine("Quorin.exe", 7, "say \"hi\""), "Quorin.exe 7 \"say hi\"");
    // Whatever the title and the program's folder, the help window reads back three arguments.
    for (const std::string title : {"say \"hi\"", "ends\\", "a\\\\b", "\xD0\x5C", "two words"}) {
        const auto args =
            platform::SplitCommandLine(HelpCommandLine("/opt/my games/Quorin", 7, title));
        ASSERT_EQ(args.size(), 3u) << title;
        EXPECT_EQ(args[0], "/opt/my games/Quorin");
        EXPECT_EQ(args[1], "7");
        std::string expected = title;
        std::erase(expected, '"');
        EXPECT_EQ(args[2], expected) << title;
    }
}

}  // namespace
}  // namespace quorin
