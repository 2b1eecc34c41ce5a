// The plug-in reads the login record with the layout the host writes it in.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "ChatRecord.h"
#include "LoginRecord.h"

namespace {

TEST(LoginRecord, ReadsWhatTheHostWrites) {
    quorin::LaunchInfo launch;
    launch.ChatId = 0x01020304;
    launch.UserID = 4000000001u;
    launch.Password = "secret";
    launch.ChatName = "\xCD\xE6\xBC\xD2";  // 玩家
    launch.SystemVer = 0x00060001;
    launch.ComputerID[0] = 11;
    launch.ComputerID[1] = 0xFFFFFFFF;
    launch.ComputerID[2] = 33;
    const quorin::ChatRecord bytes = quorin::BuildChatRecord(launch);

    natter::LoginRecord record;
    ASSERT_TRUE(natter::ParseLoginRecord(bytes.data(), bytes.size(), record));
    EXPECT_EQ(record.ChatId, launch.ChatId);
    EXPECT_EQ(record.Reserved, 0u);
    EXPECT_EQ(record.UserID, launch.UserID);
    EXPECT_EQ(record.Password, launch.Password);
    EXPECT_EQ(record.ChatName, launch.ChatName);
    EXPECT_EQ(record.SystemVer, launch.SystemVer);
    EXPECT_EQ(record.ComputerID[0], 11u);
    EXPECT_EQ(record.ComputerID[1], 0xFFFFFFFFu);
    EXPECT_EQ(record.ComputerID[2], 33u);

    // Names at their longest fill their fields but for the terminator.
    launch.ChatName.assign(40, 'n');
    launch.Password.assign(40, 'p');
    const quorin::ChatRecord full = quorin::BuildChatRecord(launch);
    ASSERT_TRUE(natter::ParseLoginRecord(full.data(), full.size(), record));
    EXPECT_EQ(record.ChatName, std::string(31, 'n'));
    EXPECT_EQ(record.Password, std::string(32, 'p'));
}

TEST(LoginRecord, KeepsTextsInsideTheirFieldsAndRefusesOtherLengths) {
    // No terminators anywhere: each text stops at its field's last byte.
    std::array<uint8_t, 97> bytes;
    bytes.fill('x');
    natter::LoginRecord record;
    ASSERT_TRUE(natter::ParseLoginRecord(bytes.data(), 96, record));
    EXPECT_EQ(record.Password, std::string(32, 'x'));
    EXPECT_EQ(record.ChatName, std::string(31, 'x'));

    record.ChatName = "kept";
    EXPECT_FALSE(natter::ParseLoginRecord(bytes.data(), 95, record));
    EXPECT_FALSE(natter::ParseLoginRecord(bytes.data(), 97, record));
    EXPECT_FALSE(natter::ParseLoginRecord(bytes.data(), 0, record));
    EXPECT_FALSE(natter::ParseLoginRecord(nullptr, 96, record));
    EXPECT_EQ(record.ChatName, "kept");
}

}  // namespace
