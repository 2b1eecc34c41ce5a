#include <gtest/gtest.h>

#include "Digest.h"
#include "FileNames.h"

namespace dravel {
namespace {

TEST(FileNames, SafeNamesStayInsideTheProgramFolder) {
    for (const char* name :
         {"a.txt", "data/sub/file.bin", "data\\x.bin", "COM10.txt", "CONSOLE.txt", "a..b.txt",
          ".hidden", "\x95\x5C.txt", "\xD3\xCE\xCF\xB7/\xCE\xC4\xBC\xFE.dat"}) {
        EXPECT_TRUE(IsSafeFileName(name)) << name;
    }
    EXPECT_TRUE(IsSafeFileName(std::string(99, 'n')));

    for (const char* name : {"",
                             "/etc/passwd",
                             "\\x",
                             "C:\\x",
                             "C:x",
                             "a/../b",
                             "..",
                             "a/./b",
                             "con",
                             "CON.txt",
                             "nul.tar.gz",
                             "Com1",
                             "lpt9.log",
                             "sub/AUX",
                             "aux .txt",
                             "file.",
                             "file ",
                             "dir./x",
                             "a//b",
                             "a/",
                             "a?b",
                             "a*b",
                             "a|b",
                             "a<b",
                             "a\x01"
                             "b",
                             "x\x95"}) {
        EXPECT_FALSE(IsSafeFileName(name)) << name;
    }
    EXPECT_FALSE(IsSafeFileName(std::string(100, 'n')));
}

TEST(FileNames, SeparatorsAreWholeCharactersOnly) {
    // 0x5C is the second byte of this double-byte character, not a separator.
    EXPECT_EQ(SplitFileName("\x95\x5C/b\\c"), (std::vector<std::string>{"\x95\x5C", "b", "c"}));
    EXPECT_EQ(UrlPathOfFileName("data\\sub\\a b%#+.bin"), "data/sub/a%20b%25%23%2B.bin");
    EXPECT_EQ(UrlPathOfFileName("\x95\x5C.txt"), "%95%5C.txt");
    EXPECT_EQ(JoinFolder("dir/", "x"), "dir/x");
    EXPECT_EQ(JoinFolder("", "x"), "x");
}

TEST(FileNames, DigestsCompareWithoutLetterCase) {
    const std::string lower = "d41d8cd98f00b204e9800998ecf8427e";
    EXPECT_TRUE(SameDigest(lower, "D41D8CD98F00B204E9800998ECF8427E"));
    EXPECT_FALSE(SameDigest(lower, "d41d8cd98f00b204e9800998ecf8427f"));
    EXPECT_FALSE(SameDigest(lower, lower.substr(1)));
    EXPECT_FALSE(IsDigestText("g41d8cd98f00b204e9800998ecf8427e"));
}

}  // namespace
}  // namespace dravel
