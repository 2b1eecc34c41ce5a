#include <gtest/gtest.h>

#include "CommandLine.h"

namespace quorin {
namespace {

std::vector<std::string> LobbyArguments(size_t count) {
    std::vector<std::string> args = {"1001", "secret", "12",  "3",   "10.0.0.7", "8000",
                                     "5",    "111",    "222", "333", "Tetra",    "a12",
                                     "a13",  "a14",    "a15", "a16", "a17"};
    args.resize(count);
    return args;
}

TEST(CommandLine, NumbersAreReadAsTheRuntimeReadsThem) {
    EXPECT_EQ(ReadInt32("  42xyz"), 42);
    EXPECT_EQ(ReadInt32("-1"), -1);
    EXPECT_EQ(ReadInt32("+7"), 7);
    EXPECT_EQ(ReadInt32("abc"), 0);
    EXPECT_EQ(ReadInt32(""), 0);
    EXPECT_EQ(ReadInt32("- 5"), 0);
    EXPECT_EQ(ReadInt32("99999999999"), 2147483647);
    EXPECT_EQ(ReadInt32("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(ReadInt64("4294967297"), 4294967297LL);
    EXPECT_EQ(ReadInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(ReadInt64("99999999999999999999999"), INT64_MAX);
}

TEST(CommandLine, ElevenArgumentsFillTheRecordUpToTheTitle) {
    const LaunchInfo info = ReadCommandLine(LobbyArguments(11));
    EXPECT_EQ(info.LaunchMode, ELaunchMode::LobbyGame);
    EXPECT_EQ(info.UserID, 1001u);
    EXPECT_EQ(info.Password, "secret");
    EXPECT_EQ(info.KindID, 12);
    EXPECT_EQ(info.ServerID, 3);
    EXPECT_EQ(info.IP, "10.0.0.7");
    EXPECT_EQ(info.Port, 8000);
    EXPECT_EQ(info.SystemVer, 5u);
    EXPECT_EQ(info.ComputerID[0], 111u);
    EXPECT_EQ(info.ComputerID[1], 222u);
    EXPECT_EQ(info.ComputerID[2], 333u);
    EXPECT_EQ(info.Title, "Tetra");
    EXPECT_EQ(info.GameParam, 0);
    EXPECT_TRUE(info.Token.empty());
    EXPECT_FALSE(info.HasToken);
    EXPECT_EQ(info.ChatAutoOpen, 0);
}

TEST(CommandLine, TheTailDependsOnTheExactCount) {
    auto args = LobbyArguments(14);
    args[11] = "77";
    args[12] = "Nick";
    args[13] = "1";
    LaunchInfo info = ReadCommandLine(args);
    EXPECT_EQ(info.GameParam, 0);
    EXPECT_EQ(info.ChatId, 77u);
    EXPECT_EQ(info.ChatName, "Nick");
    EXPECT_EQ(info.ChatAutoOpen, 1);

    args = LobbyArguments(15);
    args[11] = "300";  // low 8 bits: 44
    args[12] = "78";
    args[13] = "Nick2";
    args[14] = "2";
    info = ReadCommandLine(args);
    EXPECT_EQ(info.GameParam, 44);
    EXPECT_EQ(info.ChatId, 78u);
    EXPECT_EQ(info.ChatName, "Nick2");
    EXPECT_EQ(info.ChatAutoOpen, 2);
    EXPECT_FALSE(info.HasToken);

    args = LobbyArguments(16);
    args[11] = "9";
    args[12] = "tok";
    args[13] = "79";
    args[14] = "Nick3";
    args[15] = "-1";
    info = ReadCommandLine(args);
    EXPECT_EQ(info.GameParam, 9);
    EXPECT_EQ(info.Token, "tok");
    EXPECT_TRUE(info.HasToken);
    EXPECT_EQ(info.ChatId, 79u);
    EXPECT_EQ(info.ChatName, "Nick3");
    EXPECT_EQ(info.ChatAutoOpen, -1);

    for (size_t count : {12u, 13u, 17u}) {
        info = ReadCommandLine(LobbyArguments(count));
        EXPECT_EQ(info.LaunchMode, ELaunchMode::LobbyGame) << count;
        EXPECT_EQ(info.Title, "Tetra") << count;
        EXPECT_EQ(info.ChatId, 0u) << count;
        EXPECT_TRUE(info.ChatName.empty()) << count;
        EXPECT_FALSE(info.HasToken) << count;
    }
}

TEST(CommandLine, NumbersWrapToTheirFieldWidths) {
    auto args = LobbyArguments(11);
    args[0] = "-1";
    args[2] = "70000";
    args[6] = "4294967297";
    args[7] = "-1";
    const LaunchInfo info = ReadCommandLine(args);
    EXPECT_EQ(info.UserID, 4294967295u);
    EXPECT_EQ(info.KindID, 4464);
    EXPECT_EQ(info.SystemVer, 1u);
    EXPECT_EQ(info.ComputerID[0], 4294967295u);
}

TEST(CommandLine, TenArgumentsLeaveTheTitleEmpty) {
    const LaunchInfo info = ReadCommandLine(LobbyArguments(10));
    EXPECT_EQ(info.LaunchMode, ELaunchMode::LobbyGame);
    EXPECT_TRUE(info.Title.empty());
    EXPECT_EQ(info.ComputerID[2], 333u);
}

TEST(CommandLine, NamedPageHelpAndUnknownForms) {
    LaunchInfo info = ReadCommandLine({"Arcade Room"});
    EXPECT_EQ(info.LaunchMode, ELaunchMode::NamedPage);
    EXPECT_EQ(info.Title, "Arcade Room");

    info = ReadCommandLine({"70000", "Help me"});
    EXPECT_EQ(info.LaunchMode, ELaunchMode::HelpPage);
    EXPECT_EQ(info.KindID, 4464);
    EXPECT_EQ(info.Title, "Help me");

    for (size_t count : {0u, 3u, 9u}) {
        info = ReadCommandLine(LobbyArguments(count));
        EXPECT_EQ(info.LaunchMode, ELaunchMode::None) << count;
        EXPECT_EQ(info.UserID, 0u) << count;
    }
}

TEST(CommandLine, LongTextsAreCutToWholeCharacters) {
    auto args = LobbyArguments(16);
    args[1] = std::string(40, 'p');
    args[4] = "123.123.123.123.9";
    // 16 GBK characters of two bytes each, then one more: the cut keeps 32 bytes of whole
    // characters for the token, and 30 for a 31-byte chat name.
    std::string gbk;
    for (int i = 0; i < 17; ++i) {
        gbk += "\xD0\xD0";
    }
    args[12] = gbk;
    args[14] = gbk;
    args[10] = std::string("T") + gbk;
    const LaunchInfo info = ReadCommandLine(args);
    EXPECT_EQ(info.Password, std::string(32, 'p'));
    EXPECT_EQ(info.IP, "123.123.123.123");
    EXPECT_EQ(info.Token, gbk.substr(0, 32));
    EXPECT_EQ(info.ChatName, gbk.substr(0, 30));
    EXPECT_EQ(info.Title, ("T" + gbk).substr(0, 33));
}

}  // namespace
}  // namespace quorin
