#include <gtest/gtest.h>

#include "platform/Paths.h"

namespace {

TEST(Paths, EnteringTheProgramFolderMakesItTheWorkingDirectory) {
    const std::string folder = platform::ProgramFolder();
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(platform::EnterProgramFolder());
    EXPECT_EQ(platform::CurrentFolder(), folder);
}

TEST(Paths, JoinAddsExactlyOneSeparator) {
    const std::string sep(1, platform::kPathSeparator);
    EXPECT_EQ(platform::JoinPath("a", "b.ini"), "a" + sep + "b.ini");
    EXPECT_EQ(platform::JoinPath("a" + sep, "b.ini"), "a" + sep + "b.ini");
    EXPECT_EQ(platform::JoinPath("", "b.ini"), "b.ini");
}

}  // namespace
