#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"

namespace {

using platform::AnsiToUtf16;
using platform::AnsiToUtf8;
using platform::Utf16ToAnsi;
using platform::Utf16ToUtf8;
using platform::Utf8ToAnsi;
using platform::Utf8ToUtf16;

// "找不到%s文件" and "音乐" in GBK, UTF-16 and UTF-8.
const std::string kMissingFileGbk = "\xD5\xD2\xB2\xBB\xB5\xBD%s\xCE\xC4\xBC\xFE";
const std::u16string kMissingFileUtf16 = u"\u627E\u4E0D\u5230%s\u6587\u4EF6";
const std::string kMusicGbk = "\xD2\xF4\xC0\xD6";
const std::string kMusicUtf8 = "\xE9\x9F\xB3\xE4\xB9\x90";

#if defined(_WIN32)
TEST(CodePage, ProcessRunsWithCodePage936) {
    // Every narrow text of the programs is GBK: the tests' Wine set-up must give code page 936.
    EXPECT_EQ(platform::AnsiCodePage(), 936u);
}
#endif

TEST(CodePage, ChineseTextRoundTrips) {
    EXPECT_EQ(AnsiToUtf16("\xD0\xD0"), u"\u884C");
    EXPECT_EQ(Utf16ToAnsi(u"\u884C"), "\xD0\xD0");
    EXPECT_EQ(AnsiToUtf8("\xD0\xD0"), "\xE8\xA1\x8C");
    EXPECT_EQ(Utf8ToAnsi("\xE8\xA1\x8C"), "\xD0\xD0");

    EXPECT_EQ(AnsiToUtf16(kMissingFileGbk), kMissingFileUtf16);
    EXPECT_EQ(Utf16ToAnsi(kMissingFileUtf16), kMissingFileGbk);
    EXPECT_EQ(AnsiToUtf8(kMusicGbk), kMusicUtf8);
    EXPECT_EQ(Utf8ToAnsi(kMusicUtf8), kMusicGbk);

    const std::string mixed = "Music=" + kMusicGbk + " 500\r\n";
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(mixed)), mixed);
}

TEST(CodePage, EmptyTextsAndEmbeddedNulsSurvive) {
    EXPECT_EQ(AnsiToUtf16(""), u"");
    EXPECT_EQ(Utf16ToAnsi(u""), "");
    EXPECT_EQ(AnsiToUtf8(""), "");
    EXPECT_EQ(Utf8ToAnsi(""), "");
    EXPECT_EQ(Utf8ToUtf16(""), u"");
    EXPECT_EQ(Utf16ToUtf8(u""), "");
    const std::string withNul("a\0\xD0\xD0", 4);
    EXPECT_EQ(AnsiToUtf16(withNul), std::u16string(u"a\0\u884C", 3));
    EXPECT_EQ(Utf16ToAnsi(std::u16string(u"a\0\u884C", 3)), withNul);
}

TEST(CodePage, LongTextsConvertWhole) {
    std::string ansi;
    std::u16string utf16;
    for (int i = 0; i < 3000; ++i) {
        ansi += "\xD0\xD0x";
        utf16 += u"\u884Cx";
    }
    EXPECT_EQ(AnsiToUtf16(ansi), utf16);
    EXPECT_EQ(Utf16ToAnsi(utf16), ansi);
}

TEST(CodePage, Table936IncludingItsPrivateUseMappings) {
    // The euro sign, the single byte 0xFF, the three user-defined blocks and the unassigned
    // codes the Windows table maps into the private-use area; both directions.
    const std::pair<std::string, char16_t> codes[] = {
        {"\x80", u'\u20AC'},     {"\xFF", u'\uF8F5'},     {"\xAA\xA1", u'\uE000'},
        {"\xAF\xFE", u'\uE233'}, {"\xF8\xA1", u'\uE234'}, {"\xFE\xFE", u'\uE4C5'},
        {"\xA1\x40", u'\uE4C6'}, {"\xA1\x80", u'\uE505'}, {"\xA7\xA0", u'\uE765'},
        {"\xA2\xAB", u'\uE766'}, {"\xA6\xD9", u'\uE78D'}, {"\xD7\xFA", u'\uE810'},
        {"\xFE\x50", u'\uE815'}, {"\xFE\xA0", u'\uE864'}, {"\xA1\xA1", u'\u3000'},
        {"\xA3\xDC", u'\uFF3C'}, {"\xA8\xA6", u'\u00E9'}, {"\xA1\xA4", u'\u00B7'},
    };
    for (const auto& [ansi, code] : codes) {
        EXPECT_EQ(AnsiToUtf16(ansi), std::u16string(1, code)) << "code " << int(code);
        EXPECT_EQ(Utf16ToAnsi(std::u16string(1, code)), ansi) << "code " << int(code);
    }
}

TEST(CodePage, BrokenAnsiBecomesAReplacement) {
    EXPECT_EQ(AnsiToUtf16("a\x81"), u"a?") << "a lead byte at the end";
    // A lead byte before a byte that cannot follow it: the text on both sides is kept.
    std::u16string broken = AnsiToUtf16("a\x81\x20x\xD0\xD0");
    ASSERT_GE(broken.size(), 4u);
    EXPECT_EQ(broken.substr(0, 2), u"a?");
    EXPECT_EQ(broken.substr(broken.size() - 2), u"x\u884C");
    EXPECT_EQ(AnsiToUtf8("a\x81"), "a?");
}

TEST(CodePage, WhatGbkLacksBecomesAQuestionMark) {
    EXPECT_EQ(Utf16ToAnsi(u"a\u00A0b"), "a?b") << "no blank for a no-break space";
    EXPECT_EQ(Utf16ToAnsi(u"\u00C0"), "?") << "no best fit to a look-alike";
    EXPECT_EQ(Utf16ToAnsi(u"\u30FB"), "?");
    EXPECT_EQ(Utf16ToAnsi(u"x\U0001F600y"), "x??y") << "one mark per UTF-16 unit";
    EXPECT_EQ(Utf16ToAnsi(std::u16string(u"a") + char16_t(0xDE00) + u"b"), "a?b");
    EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80"), "??");
    EXPECT_EQ(Utf8ToAnsi("\xC3\xA9"), "\xA8\xA6");
}

TEST(CodePage, Utf8AndUtf16) {
    EXPECT_EQ(Utf8ToUtf16("a\xE8\xA1\x8C\xF0\x9F\x98\x80"), u"a\u884C\U0001F600");
    EXPECT_EQ(Utf16ToUtf8(u"a\u884C\U0001F600"), "a\xE8\xA1\x8C\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD83D))), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(u"x") + char16_t(0xDE00)), "x\xEF\xBF\xBD");

    // Malformed UTF-8: a stray continuation byte, an overlong form, an encoded surrogate,
    // a sequence cut short, a byte that never occurs; the text around each is kept.
    EXPECT_EQ(Utf8ToUtf16("a\x80z"), u"a\uFFFDz");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80z"), u"\uFFFDz");
    EXPECT_EQ(Utf8ToUtf16("a\xE8\xA1"), u"a\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("a\xE8\xA1z"), u"a\uFFFDz");
    EXPECT_EQ(Utf8ToUtf16("\xFFz"), u"\uFFFDz");
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD") << "beyond U+10FFFF";
}

}  // namespace
