#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

class PathCase : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pathcase-XXXXXX";
        root_ = mkdtemp(pattern);
        fs::create_directories(root_ / "Res" / "lobby" / "PngBtn");
        std::ofstream(root_ / "Res" / "lobby" / "PngBtn" / "Close.png") << "x";
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

TEST_F(PathCase, MixedSpellingsReachTheShippedFolders) {
    const std::string expected = (root_ / "Res/lobby/PngBtn/Close.png").string();
    EXPECT_EQ(platform::ResolvePathCase(root_.string() + "\\res\\Lobby\\PngBtn\\Close.png"),
              expected);
    EXPECT_EQ(platform::ResolvePathCase(root_.string() + "/RES/LOBBY/pngbtn/close.PNG"), expected);
    EXPECT_EQ(platform::ResolvePathCase(expected), expected);
}

TEST_F(PathCase, PartsThatMatchNothingStayAsWritten) {
    EXPECT_EQ(platform::ResolvePathCase(root_.string() + "/res/Missing/Close.png"),
              (root_ / "Res/Missing/Close.png").string());
    EXPECT_EQ(platform::ResolvePathCase(""), "");
}

}  // namespace
