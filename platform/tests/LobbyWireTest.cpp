#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/LobbyWire.h"

using platform::FormatLobbyLine;
using platform::FormatLobbyResult;
using platform::LobbyPost;
using platform::LobbySend;
using platform::LobbyShow;
using platform::ParseLobbyLine;
using platform::ParseLobbyResult;

namespace {

TEST(LobbyWireTest, FormatsTheThreeFormsInDecimal) {
    EXPECT_EQ(FormatLobbyLine(LobbySend(1424, 0, 0)), "send 1424 0 0");
    EXPECT_EQ(FormatLobbyLine(LobbyShow(5)), "show 5");
    EXPECT_EQ(FormatLobbyLine(LobbyPost(1324, 0, 0)), "post 1324 0 0");
    EXPECT_EQ(FormatLobbyLine(LobbyPost(1125, 2, 12)), "post 1125 2 12");
    EXPECT_EQ(FormatLobbyLine(LobbyPost(1125, std::numeric_limits<std::uint64_t>::max(),
                                        std::numeric_limits<std::int64_t>::min())),
              "post 1125 18446744073709551615 -9223372036854775808");
    EXPECT_EQ(FormatLobbyResult(-1), "-1");
}

TEST(LobbyWireTest, EveryFormattedMessageReadsBackUnchanged) {
    const platform::LobbyMessage messages[] = {
        LobbySend(1424, 0, 0),
        LobbyShow(5),
        LobbyShow(-1),
        LobbyPost(1324, 0, 0),
        LobbyPost(std::numeric_limits<std::uint32_t>::max(),
                  std::numeric_limits<std::uint64_t>::max(),
                  std::numeric_limits<std::int64_t>::max()),
        LobbySend(1125, 3, std::numeric_limits<std::int64_t>::min()),
    };
    for (const auto& message : messages) {
        const std::string line = FormatLobbyLine(message);
        EXPECT_LE(line.size(), platform::kLobbyMaxLine) << line;
        EXPECT_EQ(ParseLobbyLine(line), message) << line;
    }
    EXPECT_EQ(ParseLobbyResult(FormatLobbyResult(std::numeric_limits<std::int64_t>::min())),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(ParseLobbyResult("0"), 0);
}

TEST(LobbyWireTest, RefusesLinesThatAreNotExactlyOneForm) {
    const char* malformed[] = {
        "",
        "send",
        "send 1424 0",      // a field missing
        "send 1424 0 0 0",  // one too many
        "show",
        "show 5 0",
        "SEND 1424 0 0",  // verbs are lower case
        "ping 1 2 3",
        " send 1424 0 0",  // blanks only between fields, exactly one
        "send  1424 0 0",
        "send 1424 0 0 ",
        "send\t1424 0 0",
        "send 1424 0 0\r",  // the terminator is '\n' alone
        "send +1424 0 0",   // no '+'
        "send -1424 0 0",   // message and wparam are unsigned
        "post 1125 -2 0",
        "post 1125 2 -",
        "post 1125 2 1x",
        "post 4294967296 0 0",  // beyond 32 bits
        "post 1 18446744073709551616 0",
        "post 1 0 9223372036854775808",
        "show 2147483648",
        "show 0x5",
    };
    for (const char* line : malformed) {
        EXPECT_EQ(ParseLobbyLine(line), std::nullopt) << '"' << line << '"';
    }
    EXPECT_EQ(ParseLobbyLine(std::string_view("post 1 0 0\0", 11)), std::nullopt);
    // A line longer than any message is refused even when it starts like one.
    EXPECT_EQ(ParseLobbyLine("post 1 0 " + std::string(platform::kLobbyMaxLine, '0')),
              std::nullopt);

    for (const char* answer : {"", " 0", "0 ", "+1", "1.5", "zero", "9223372036854775808"}) {
        EXPECT_EQ(ParseLobbyResult(answer), std::nullopt) << '"' << answer << '"';
    }
}

}  // namespace
