#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "CommandLine.h"
#include "PageCommands.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

class RecordingHost : public IPageHost {
public:
    bool CallPage(int32_t id, const std::string& text) override {
        calls.push_back(std::to_string(id) + "," + text);
        return pageReachable;
    }
    void PostClose() override { ++closes; }

    std::vector<std::string> calls;
    int closes = 0;
    bool pageReachable = true;
};

class PageCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("quorin-page-") + test->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        oldDir_ = fs::current_path();
        fs::current_path(dir_);
        settings_.Load(dir_.string());
    }
    void TearDown() override {
        fs::current_path(oldDir_);
        fs::remove_all(dir_);
    }

    std::string ReadLog(const char* name) {
        std::ifstream in(dir_ / "log" / name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
    fs::path oldDir_;
    RecordingHost host_;
    LaunchInfo launch_;
    SoundSettings settings_;
};

TEST_F(PageCommandsTest, QueryParamIsAnsweredWithTheGameParameter) {
    PageCommands page(host_, launch_, settings_);
    page.OnJsMessage(JSCMD_QUERY_PARAM, "");
    launch_.GameParam = 200;
    page.OnJsMessage(JSCMD_QUERY_PARAM, "ignored");
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"7,0", "7,200"}));
}

TEST_F(PageCommandsTest, CloseHandshake) {
    PageCommands page(host_, launch_, settings_);
    EXPECT_TRUE(page.OnCloseRequest());
    EXPECT_TRUE(host_.calls.empty());

    page.OnJsMessage(JSCMD_CONFIRM_CLOSE, "");
    EXPECT_FALSE(page.OnCloseRequest());
    EXPECT_FALSE(page.OnCloseRequest());
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"3,0", "3,0"}));
    EXPECT_EQ(host_.closes, 0);

    page.OnJsMessage(JSCMD_CLOSE, "");
    EXPECT_EQ(host_.closes, 1);
    EXPECT_FALSE(page.ConfirmClose());
    EXPECT_TRUE(page.OnCloseRequest());

    page.OnJsMessage(99, "whatever");
    page.OnJsMessage(0, "");
    EXPECT_EQ(host_.calls.size(), 2u);
    EXPECT_EQ(host_.closes, 1);

    // A page whose engine has gone cannot answer: the request closes as if the flag were clear.
    page.OnJsMessage(JSCMD_CONFIRM_CLOSE, "");
    host_.pageReachable = false;
    EXPECT_TRUE(page.OnCloseRequest());
    EXPECT_EQ(host_.calls.size(), 3u);
}

TEST_F(PageCommandsTest, VolumesFollowTheSwitches) {
    std::ofstream(dir_ / "SystemOption.ini") << "[Music]\r\nPos=600\r\n[Sound]\r\nPos=300\r\n";
    settings_.Load(dir_.string());
    PageCommands page(host_, launch_, settings_);
    page.SendVolumes();
    std::ofstream(dir_ / "SystemOption.ini")
        << "[Music]\r\nOpen=0\r\nPos=600\r\n[Sound]\r\nPos=300\r\n";
    settings_.Load(dir_.string());
    page.SendVolumes();
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"4,600", "5,300", "4,0", "5,300"}));
}

TEST_F(PageCommandsTest, LogCommandsAreSplitLikeStrtok) {
    LogCommand command;
    ASSERT_TRUE(SplitLogCommand("game&hello", command));
    EXPECT_EQ(command.name, "game");
    EXPECT_EQ(command.text, "hello");
    ASSERT_TRUE(SplitLogCommand("&&game&&a&b", command));
    EXPECT_EQ(command.name, "game");
    EXPECT_EQ(command.text, "a");
    EXPECT_FALSE(SplitLogCommand("&&x", command));
    EXPECT_FALSE(SplitLogCommand("game", command));
    EXPECT_FALSE(SplitLogCommand("game&", command));
    EXPECT_FALSE(SplitLogCommand(std::string_view("game\0&x", 8), command));
    ASSERT_TRUE(SplitLogCommand("n&" + std::string(300, 'x'), command));
    EXPECT_EQ(command.text.size(), 259u);
}

TEST_F(PageCommandsTest, LogNamesStayInsideTheLogFolder) {
    EXPECT_TRUE(IsSafeLogName("game"));
    EXPECT_TRUE(IsSafeLogName("game.v2"));
    EXPECT_TRUE(IsSafeLogName("console"));
    EXPECT_TRUE(IsSafeLogName("COM10"));
    // Windows names devices so in every folder: the record would go to a port or a printer.
    for (const char* name : {"", "/etc/x", "..", "a..b", "sub/x", "sub\\x", "C:x", "\\\\host\\x",
                             "COM1", "nul", "Lpt1.x", "con .log", "aux"}) {
        EXPECT_FALSE(IsSafeLogName(name)) << name;
    }
}

TEST_F(PageCommandsTest, LogCommandAppendsARecordLiterally) {
    PageCommands page(host_, launch_, settings_);
    page.OnJsMessage(JSCMD_LOG, "game&hello");
    page.OnJsMessage(JSCMD_LOG, "game&50% %s");
    page.OnJsMessage(JSCMD_LOG, "../escape&x");
    page.OnJsMessage(JSCMD_LOG, "&&x");
    // A name whose path would be cut: nothing, rather than a file the cut names.
    const std::string prefix = dir_.string() + "/log/";
    const std::string longName = std::string(270 - prefix.size(), 'n') + ".bat";
    page.OnJsMessage(JSCMD_LOG, longName + "&x");
    const std::string log = ReadLog("game.txt");
    EXPECT_NE(log.find("] [hello] [CQuorinDlg::OnJsMessage] [743\xD0\xD0]\r\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("] [50% %s] [CQuorinDlg::OnJsMessage]"), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
    EXPECT_FALSE(fs::exists(dir_ / "escape.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "log" / "x.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "log"), fs::directory_iterator()), 1);
    EXPECT_TRUE(host_.calls.empty());
}

}  // namespace
}  // namespace quorin
