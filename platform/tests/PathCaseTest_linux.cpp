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

// An update resolves every name of its manifest; a folder is read once per run, and what the
// run itself adds, renames or removes there is noted instead of read again.
TEST_F(PathCase, AnIndexReadsAFolderOnceAndFollowsWhatItIsTold) {
    platform::FolderCaseIndex index;
    const fs::path buttons = root_ / "Res/lobby/PngBtn";
    EXPECT_EQ(index.Resolve(root_.string() + "/res/LOBBY/pngbtn/close.PNG"),
              (buttons / "Close.png").string());

    // Made behind the index's back after the folder was read: not seen.
    std::ofstream(buttons / "Other.png") << "x";
    EXPECT_EQ(index.Resolve((buttons / "OTHER.png").string()), (buttons / "OTHER.png").string());
    index.NoteAdded((buttons / "Other.png").string());
    EXPECT_EQ(index.Resolve((buttons / "OTHER.png").string()), (buttons / "Other.png").string());

    // A rename: the old name goes, the new one answers.
    fs::rename(buttons / "Other.png", buttons / "Third.png");
    index.NoteRemoved((buttons / "Other.png").string());
    index.NoteAdded((buttons / "Third.png").string());
    EXPECT_EQ(index.Resolve((buttons / "other.png").string()), (buttons / "other.png").string());
    EXPECT_EQ(index.Resolve((buttons / "THIRD.PNG").string()), (buttons / "Third.png").string());

    // A removed name that only differs in case from the one listed leaves that one alone.
    index.NoteRemoved((buttons / "close.png").string());
    EXPECT_EQ(index.Resolve((buttons / "CLOSE.png").string()), (buttons / "Close.png").string());
    // A folder the run makes is listed as it is made.
    fs::create_directory(root_ / "Res/New");
    index.NoteAdded((root_ / "Res/New").string());
    EXPECT_EQ(index.Resolve(root_.string() + "/res/new/a.bin"), (root_ / "Res/New/a.bin").string());
}

}  // namespace
