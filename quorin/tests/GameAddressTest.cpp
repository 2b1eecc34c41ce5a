#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CommandLine.h"
#include "GameAddress.h"
#include "platform/Paths.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

class GameAddress : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("quorin-address-") + test->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        work_ = dir_.string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void WriteFile(const char* name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }

    static LaunchInfo Lobby(size_t count) {
        std::vector<std::string> args = {"-1", "pw", "12", "3", "1.2.3.4", "80",
                                         "5",  "6",  "7",  "8", "Title"};
        if (count == 16) {
            args.insert(args.end(), {"1", "tk", "0", "", "0"});
        }
        return ReadCommandLine(args);
    }

    std::string Sep() const { return std::string(1, platform::kPathSeparator); }

    fs::path dir_;
    std::string work_;
};

constexpr char kQuery[] =
    "?UserID=4294967295&Password=pw&KindID=12&ServerID=3&IP=1.2.3.4&Port=80&SystemVer=5"
    "&ComputerID0=6&ComputerID1=7&ComputerID2=8&Voice=1&VBackground=500&VEffect=500";

TEST_F(GameAddress, WithoutIniFilesTheDefaultPageAndSizeAreUsed) {
    LaunchInfo info = Lobby(11);
    info.Width = info.Height = 0;
    ComposeGameUrl(info, work_, SoundVolumes{}, "");
    EXPECT_EQ(info.GameUrl, work_ + Sep() + "Wendrel" + Sep() + "index.html" + kQuery);
    EXPECT_EQ(info.Width, 1024);
    EXPECT_EQ(info.Height, 768);
}

TEST_F(GameAddress, AllFourFormats) {
    WriteFile("FlashGame.ini",
              "[12]\r\nURL=\\games\\x.html\r\nWidth=800\r\nHeight=600\r\n"
              "[13]\r\nURL=http://host/g.html?v=2\r\n");
    LaunchInfo info = Lobby(11);
    ComposeGameUrl(info, work_, SoundVolumes{}, "");
    EXPECT_EQ(info.GameUrl, work_ + Sep() + "games" + Sep() + "x.html" + kQuery);
    EXPECT_EQ(info.Width, 800);
    EXPECT_EQ(info.Height, 600);

    info = Lobby(16);
    ComposeGameUrl(info, work_, SoundVolumes{}, "");
    EXPECT_EQ(info.GameUrl,
              work_ + Sep() + "games" + Sep() + "x.html" + kQuery + std::string("&Token=tk"));

    // A colon means an address of its own: used unchanged, even with a query already in it.
    info = Lobby(11);
    info.KindID = 13;
    ComposeGameUrl(info, work_, SoundVolumes{}, "");
    const std::string query13 =
        std::string(kQuery).replace(std::string(kQuery).find("12"), 2, "13");
    EXPECT_EQ(info.GameUrl, "http://host/g.html?v=2" + query13);
    EXPECT_EQ(info.Width, 1024);

    info = Lobby(16);
    info.KindID = 13;
    ComposeGameUrl(info, work_, SoundVolumes{}, "");
    EXPECT_EQ(info.GameUrl, "http://host/g.html?v=2" + query13 + "&Token=tk");
}

// A damaged or hostile ini must not give the window a size its layout cannot compute with.
TEST_F(GameAddress, WindowSizesStayWithinWhatAWindowCanBe) {
    WriteFile("FlashGame.ini", "[12]\r\nWidth=-2147483648\r\nHeight=100000\r\n");
    LaunchInfo info = Lobby(11);
    ComposeGameUrl(info, work_, SoundVolumes{}, "");
    EXPECT_EQ(info.Width, 1);
    EXPECT_EQ(info.Height, 32767);
}

TEST_F(GameAddress, SoundSettingsTravelInTheQuery) {
    WriteFile("SystemOption.ini", "[PlaySound]\r\nbPlay=0\r\n[Music]\r\nOpen=0\r\nPos=300\r\n");
    LaunchInfo info = Lobby(11);
    ComposeGameUrl(info, work_, SoundVolumes{300, 1200}, "");
    EXPECT_NE(info.GameUrl.find("&Voice=0&VBackground=300&VEffect=1200"), std::string::npos)
        << info.GameUrl;
}

TEST_F(GameAddress, QueryBreakingCharactersAreEncoded) {
    EXPECT_EQ(EncodeQueryText("a&b c#d+e%f=g"), "a%26b%20c%23d%2Be%25f=g");
    EXPECT_EQ(EncodeQueryText("\xD0\xD0"), "\xD0\xD0");
    LaunchInfo info = Lobby(16);
    info.Password = "p&w d";
    info.Token = "t#1";
    ComposeGameUrl(info, work_, SoundVolumes{}, "");
    EXPECT_NE(info.GameUrl.find("&Password=p%26w%20d&"), std::string::npos);
    EXPECT_NE(info.GameUrl.find("&Token=t%231"), std::string::npos);
}

TEST_F(GameAddress, NamedPageUsesTheWholeCommandTailAsSection) {
    WriteFile("URL.ini", "[\"Arcade Room\"]\r\nURL=\\games\\a.html\r\n[Solo]\r\nURL=/s.html\r\n");
    LaunchInfo info = ReadCommandLine({"Arcade Room"});
    ComposeGameUrl(info, work_, SoundVolumes{}, "\"Arcade Room\"");
    EXPECT_EQ(info.Title, "Arcade Room");
    EXPECT_EQ(info.GameUrl, work_ + Sep() + "games" + Sep() + "a.html");

    info = ReadCommandLine({"Missing"});
    ComposeGameUrl(info, work_, SoundVolumes{}, "Missing");
    EXPECT_EQ(info.GameUrl, work_);
}

TEST_F(GameAddress, HelpPageAndNoMode) {
    LaunchInfo info = ReadCommandLine({"12", "Help"});
    ComposeGameUrl(info, work_, SoundVolumes{}, "12 Help");
    EXPECT_EQ(info.GameUrl, work_ + Sep() + "help" + Sep() + "12.html");

    info = ReadCommandLine({});
    info.GameUrl = "stale";
    ComposeGameUrl(info, work_, SoundVolumes{}, "");
    EXPECT_TRUE(info.GameUrl.empty());
}

TEST_F(GameAddress, LogoFollowsTollimer) {
    const std::string plain = work_ + Sep() + "res" + Sep() + "GameLogo" + Sep() + "LogoURL.png";
    const std::string net = work_ + Sep() + "res" + Sep() + "GameLogoNet" + Sep() + "LogoURL.png";
    EXPECT_EQ(ChooseLogo(work_), plain);
    for (const char* value : {"1", "3"}) {
        WriteFile("Tollimer.ini", std::string("[Tollimer]\r\nTollimer=") + value + "\r\n");
        EXPECT_EQ(ChooseLogo(work_), plain) << value;
    }
    WriteFile("Tollimer.ini", "[Tollimer]\r\nTollimer=2\r\n");
    EXPECT_EQ(ChooseLogo(work_), net);
}

}  // namespace
}  // namespace quorin
