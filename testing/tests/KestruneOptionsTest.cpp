#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "KestruneOptions.h"

using ::testing::ElementsAre;

namespace {

TEST(KestruneOptionsTest, SeparatesOwnOptionsFromTheLobbysArguments) {
    std::string error;
    const auto options = kestrune::ParseOptions(
        {"1", "--record", "r.log", "--exit-after-ms", "250", "--answer", "-3", "--no-answer", "x"},
        error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->record, "r.log");
    EXPECT_EQ(options->exitAfterMs, 250);
    EXPECT_EQ(options->answer, -3);
    EXPECT_EQ(options->onSend, kestrune::OnSend::Ignore);
    EXPECT_THAT(options->arguments, ElementsAre("1", "x"));
    EXPECT_EQ(kestrune::StartLine(options->arguments), "start 1 x");

    const auto plain = kestrune::ParseOptions({}, error);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->record, "");
    EXPECT_FALSE(plain->exitAfterMs);
    EXPECT_EQ(plain->onSend, kestrune::OnSend::Answer);
    EXPECT_EQ(kestrune::StartLine(plain->arguments), "start");
    EXPECT_EQ(kestrune::ParseOptions({"--quit-on-send"}, error)->onSend, kestrune::OnSend::Quit);
}

TEST(KestruneOptionsTest, RefusesUnknownOptionsAndMissingOrBadValues) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--recrod", "x"},
                                               {"--record"},
                                               {"--record", ""},
                                               {"--exit-after-ms"},
                                               {"--exit-after-ms", "-1"},
                                               {"--exit-after-ms", "1s"},
                                               {"--answer", ""},
                                               {"--answer", "one"}}) {
        std::string error;
        EXPECT_FALSE(kestrune::ParseOptions(args, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(KestruneOptionsTest, RecordReadsBackCompleteLinesOnly) {
    std::random_device random;
    const auto path = std::filesystem::temp_directory_path() /
                      ("kestrune-record-" + std::to_string(random()) + ".log");
    EXPECT_TRUE(kestrune::ReadRecord(path.string()).empty());
    ASSERT_TRUE(kestrune::AppendRecord(path.string(), "start"));
    ASSERT_TRUE(kestrune::AppendRecord(path.string(), "show 5"));
    {
        std::FILE* file = std::fopen(path.string().c_str(), "ab");
        ASSERT_NE(file, nullptr);
        std::fputs("post 13", file);  // a line still being written
        std::fclose(file);
    }
    EXPECT_THAT(kestrune::ReadRecord(path.string()), ElementsAre("start", "show 5"));
    std::filesystem::remove(path);
}

}  // namespace
