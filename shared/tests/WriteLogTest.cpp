#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/Paths.h"
#include "shared/WriteLog.h"

namespace fs = std::filesystem;

namespace {

using log_detail::LogTime;

LogTime FixedClock() {
    return LogTime{2026, 12, 6, 9, 5, 7};
}
LogTime NewYearClock() {
    return LogTime{2027, 1, 5, 7, 3, 9};
}

void LogAt(log_detail::LogClock clock, const char* logName, const char* source, int line,
           const char* format, ...) LOBBY_PRINTF_FORMAT(5, 6);

void LogAt(log_detail::LogClock clock, const char* logName, const char* source, int line,
           const char* format, ...) {
    va_list args;
    va_start(args, format);
    log_detail::WriteLogWithClock(clock, logName, source, line, format, args);
    va_end(args);
}

// The record prefix for the fixed clock, 24 bytes.
const std::string kFixedPrefix = "[2026-12-06][09:05:07] [";
// 行 in code page 936.
const std::string kLineMark = "\xD0\xD0";

// Each test runs in a fresh, empty working directory.
class WriteLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        std::random_device random;
        folder_ = fs::temp_directory_path() /
                  ("writelog-" + std::to_string(random()) + "-" + std::to_string(random()));
        fs::create_directories(folder_);
        fs::current_path(folder_);
    }

    void TearDown() override {
        fs::current_path(previous_);
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(folder_, ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(folder_, ignored);
    }

    static std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static std::string LogFile(const std::string& name) {
        return Read(fs::path("log") / (name + ".txt"));
    }

    fs::path previous_;
    fs::path folder_;
};

TEST_F(WriteLogTest, FirstCallCreatesFolderAndFileWithExactlyOneRecord) {
    ASSERT_FALSE(fs::exists("log"));
    LogAt(FixedClock, "Quorin", "CQuorinDlg::OnJsMessage", 743, "%s", "some text");

    EXPECT_TRUE(fs::is_directory("log"));
    EXPECT_EQ(LogFile("Quorin"),
              "[2026-12-06][09:05:07] [some text] [CQuorinDlg::OnJsMessage] [743\xD0\xD0]\r\n");
}

TEST_F(WriteLogTest, DateAndTimeFieldsArePaddedAndYearIsNot) {
    LogAt(NewYearClock, "pad", "S", -5, "m");
    EXPECT_EQ(LogFile("pad"), "[2027-01-05][07:03:09] [m] [S] [-5" + kLineMark + "]\r\n");
}

TEST_F(WriteLogTest, RecordsAppendInOrderAndNamesKeepSeparateFiles) {
    LogAt(FixedClock, "Dravel", "A", 1, "first");
    LogAt(FixedClock, "Other", "C", 3, "elsewhere");
    LogAt(FixedClock, "Dravel", "B", 2, "second");

    EXPECT_EQ(LogFile("Dravel"), kFixedPrefix + "first] [A] [1" + kLineMark + "]\r\n" +
                                     kFixedPrefix + "second] [B] [2" + kLineMark + "]\r\n");
    EXPECT_EQ(LogFile("Other"), kFixedPrefix + "elsewhere] [C] [3" + kLineMark + "]\r\n");
}

TEST_F(WriteLogTest, FormatIsExpandedButOutsideTextsStayLiteral) {
    LogAt(FixedClock, "fmt", "S", 1, "[%d][%s][%s]", 5, "stage", "%s%d%n");
    // Every line feed, also one inside the message, is stored as CR LF.
    LogAt(FixedClock, "fmt", "S", 2, "%s", "two\nlines");

    EXPECT_EQ(LogFile("fmt"), kFixedPrefix + "[5][stage][%s%d%n]] [S] [1" + kLineMark + "]\r\n" +
                                  kFixedPrefix + "two\r\nlines] [S] [2" + kLineMark + "]\r\n");
}

TEST_F(WriteLogTest, OverlongMessageGivesA1023ByteRecordWithoutLineBreak) {
    const std::string big(2000, 'x');
    LogAt(FixedClock, "big", "S", 1, "%s", big.c_str());
    LogAt(FixedClock, "big", "S", 2, "next");

    const std::string content = LogFile("big");
    const std::string cut = kFixedPrefix + std::string(1023 - kFixedPrefix.size(), 'x');
    ASSERT_EQ(cut.size(), 1023u);
    EXPECT_EQ(content, cut + kFixedPrefix + "next] [S] [2" + kLineMark + "]\r\n");
}

TEST_F(WriteLogTest, RecordOfExactly1023BytesKeepsItsLineBreak) {
    // Prefix 24, "] [S] [7" 8, the mark 2, "]\n" 2: 36 bytes around the message.
    const std::string fits(1023 - 36, 'f');
    LogAt(FixedClock, "edge", "S", 7, "%s", fits.c_str());
    EXPECT_EQ(LogFile("edge"), kFixedPrefix + fits + "] [S] [7" + kLineMark + "]\r\n");

    // One byte more: only the line feed is cut off.
    const std::string over(1023 - 35, 'o');
    LogAt(FixedClock, "over", "S", 7, "%s", over.c_str());
    EXPECT_EQ(LogFile("over"), kFixedPrefix + over + "] [S] [7" + kLineMark + "]");
}

TEST_F(WriteLogTest, ReadOnlyFileIsLeftUnchanged) {
    fs::create_directory("log");
    const fs::path file = fs::path("log") / "locked.txt";
    {
        std::ofstream out(file, std::ios::binary);
        out << "old";
    }
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    LogAt(FixedClock, "locked", "S", 1, "new");
    EXPECT_EQ(Read(file), "old");
}

TEST_F(WriteLogTest, OverlongPathIsCutTo259Bytes) {
    const std::string folder = platform::CurrentFolder();
    const std::string prefix = folder + platform::kPathSeparator + "log" + platform::kPathSeparator;
    ASSERT_LT(prefix.size(), 200u);
    const std::string name(300, 'n');

    LogAt(FixedClock, name.c_str(), "S", 1, "cut");

    // The cut leaves part of the name and no ".txt".
    const std::string stored = name.substr(0, 259 - prefix.size());
    EXPECT_EQ(std::distance(fs::directory_iterator("log"), fs::directory_iterator()), 1);
    EXPECT_EQ(Read(fs::path("log") / stored), kFixedPrefix + "cut] [S] [1" + kLineMark + "]\r\n");

    // Callers that must not write to such a file can tell beforehand, to the byte.
    const std::string longest(259 - prefix.size() - 4, 'n');
    EXPECT_TRUE(LogFileNameFits(longest.c_str()));
    EXPECT_FALSE(LogFileNameFits((longest + "n").c_str()));
    EXPECT_FALSE(LogFileNameFits(nullptr));
}

TEST_F(WriteLogTest, WorkingFolderTooLongForTheLogFolderWritesNothing) {
    // A cut inside the folder's own path would name some other file beside or above the log
    // folder. Built from short parts, each a path the system accepts as working directory.
    fs::path deep = fs::current_path();
    while (deep.string().size() < 255) {
        const std::size_t room = 256 - deep.string().size();  // with the separator: 255 to 257
        deep /= std::string(std::min<std::size_t>(room, 40), 'd');
    }
    ASSERT_TRUE(fs::create_directories(deep));
    fs::current_path(deep);
    ASSERT_GE(platform::CurrentFolder().size(), 255u);

    LogAt(FixedClock, "x", "S", 1, "lost");

    EXPECT_FALSE(LogFileNameFits("x"));
    EXPECT_TRUE(fs::is_empty(deep));
    EXPECT_EQ(std::distance(fs::directory_iterator(deep.parent_path()), fs::directory_iterator()),
              1);
}

TEST_F(WriteLogTest, MissingTextsDoNotCrashAndMissingNameWritesNothing) {
    LogAt(FixedClock, nullptr, "S", 1, "lost");
    LogAt(FixedClock, "nulls", nullptr, 1, nullptr);

    EXPECT_EQ(LogFile("nulls"), kFixedPrefix + "] [] [1" + kLineMark + "]\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator("log"), fs::directory_iterator()), 1);
}

std::string Stamp(std::time_t when) {
    const std::tm local = *std::localtime(&when);
    char text[96];
    std::snprintf(text, sizeof text, "[%d-%02d-%02d][%02d:%02d:%02d] ", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

TEST_F(WriteLogTest, PublicFunctionStampsTheLocalTime) {
    const std::time_t before = std::time(nullptr);
    WriteLog("clock", "CDravelDlg::OnStatusCallback", 339, "%s", "now");
    const std::time_t after = std::time(nullptr);

    const std::string content = LogFile("clock");
    ASSERT_GE(content.size(), 23u);
    const std::string stamp = content.substr(0, 23);
    EXPECT_TRUE(stamp == Stamp(before) || stamp == Stamp(after)) << stamp;
    EXPECT_EQ(content.substr(23),
              "[now] [CDravelDlg::OnStatusCallback] [339" + kLineMark + "]\r\n");
}

}  // namespace
