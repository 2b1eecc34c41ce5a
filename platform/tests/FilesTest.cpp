#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/Files.h"

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() /
                  ("files-" + std::to_string(random()) + "-" + std::to_string(random()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(folder_, ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(folder_, ignored);
    }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    static std::string Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path folder_;
};

TEST_F(FilesTest, CreateFolderAcceptsAnExistingFolderButNotAFileOrMissingParent) {
    EXPECT_TRUE(platform::CreateFolder(Path("log")));
    EXPECT_TRUE(fs::is_directory(Path("log")));
    EXPECT_TRUE(platform::CreateFolder(Path("log")));

    ASSERT_TRUE(platform::AppendToFile(Path("plain"), "x", 1));
    EXPECT_FALSE(platform::CreateFolder(Path("plain")));
    EXPECT_FALSE(platform::CreateFolder((folder_ / "missing" / "log").string()));
}

TEST_F(FilesTest, AppendCreatesThenKeepsContentAndAddsAtTheEnd) {
    const std::string file = Path("a.txt");
    ASSERT_TRUE(platform::AppendToFile(file, "one\r\n", 5));
    ASSERT_TRUE(platform::AppendToFile(file, "", 0));
    ASSERT_TRUE(platform::AppendToFile(file, std::string("t\0o", 3).data(), 3));
    EXPECT_EQ(Read(file), std::string("one\r\nt\0o", 8));
}

TEST_F(FilesTest, AppendRefusesReadOnlyFilesFoldersAndMissingFolders) {
    const std::string file = Path("ro.txt");
    ASSERT_TRUE(platform::AppendToFile(file, "old", 3));
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(platform::AppendToFile(file, "new", 3));
    EXPECT_EQ(Read(file), "old");

    ASSERT_TRUE(platform::CreateFolder(Path("dir")));
    EXPECT_FALSE(platform::AppendToFile(Path("dir"), "x", 1));
    EXPECT_FALSE(platform::AppendToFile((folder_ / "none" / "x.txt").string(), "x", 1));
    EXPECT_FALSE(platform::AppendToFile(Path("null.txt"), nullptr, 1));
}

}  // namespace

namespace {

TEST_F(FilesTest, ReplaceMovesTheNewFileOverTheOldOrLeavesBothAlone) {
    const std::string target = Path("settings.ini");
    const std::string staged = Path("settings.ini.tmp");
    ASSERT_TRUE(platform::AppendToFile(target, "old", 3));
    ASSERT_TRUE(platform::AppendToFile(staged, "new", 3));
    ASSERT_TRUE(platform::MoveReplacing(staged, target));
    EXPECT_EQ(Read(target), "new");
    EXPECT_FALSE(fs::exists(staged));

    // Into a missing target, and from a missing source.
    ASSERT_TRUE(platform::AppendToFile(staged, "fresh", 5));
    ASSERT_TRUE(platform::MoveReplacing(staged, Path("other.ini")));
    EXPECT_EQ(Read(Path("other.ini")), "fresh");
    EXPECT_FALSE(platform::MoveReplacing(Path("missing"), target));
    EXPECT_EQ(Read(target), "new");

    // A read-only target stays as it is, and the staged file stays for the caller to remove.
    ASSERT_TRUE(platform::AppendToFile(staged, "newer", 5));
    fs::permissions(target, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(platform::MoveReplacing(staged, target));
    EXPECT_EQ(Read(target), "new");
    EXPECT_TRUE(fs::exists(staged));
}

}  // namespace
