// One suite for every implementation of the ini functions. On Linux it runs against the
// platform functions (our own implementation); on Windows against the platform functions (the
// system's private-profile API, under Wine in our runs) and against our own implementation, so
// every case shows that ours answers as the system does.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "../IniProfile.h"
#include "platform/Ini.h"

namespace {

namespace fs = std::filesystem;

struct Backend {
    const char* name;
    uint32_t (*getString)(const char*, const char*, const char*, char*, uint32_t, const char*);
    uint32_t (*getInt)(const char*, const char*, int32_t, const char*);
    bool (*writeString)(const char*, const char*, const char*, const char*);
    // Wine's writer rewrites the whole file in its own layout (no blank lines, no blanks around
    // '=', CR LF everywhere); the Windows one, like ours, edits only the line it writes.
    bool wineWriter;
};

void PrintTo(const Backend* backend, std::ostream* out) {
    *out << backend->name;
}

#if defined(_WIN32)
constexpr bool kSystemIsWine = true;  // our Windows tests run under Wine
#else
constexpr bool kSystemIsWine = false;
#endif

const Backend kPlatformBackend{"Platform", &platform::GetIniString, &platform::GetIniInt,
                               &platform::WriteIniString, kSystemIsWine};
#if defined(_WIN32)
const Backend kOwnBackend{"Own", &platform::profile::GetString, &platform::profile::GetInt,
                          &platform::profile::WriteString, false};
#endif

struct Read {
    uint32_t result;
    std::string text;
};

class IniTest : public ::testing::TestWithParam<const Backend*> {
protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() /
                  ("ini-test-" + std::to_string(random()) + "-" + std::to_string(random()));
        ASSERT_TRUE(fs::create_directories(folder_));
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // A new file name for every step: the system's functions may cache what they read.
    std::string NewPath() { return (folder_ / ("f" + std::to_string(++files_) + ".ini")).string(); }

    std::string NewFile(const std::string& bytes) {
        std::string path = NewPath();
        std::ofstream out(path, std::ios::binary);
        out << bytes;
        return path;
    }

    static std::string Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            return "<missing>";
        }
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Reads into a buffer of `size` bytes followed by guard bytes that must stay untouched.
    Read Get(const char* section, const char* key, const char* def, const std::string& path,
             uint32_t size = platform::kIniTextCapacity) {
        constexpr char kGuard = '\x5A';
        std::string buffer(size + 8, kGuard);
        uint32_t result =
            GetParam()->getString(section, key, def, buffer.data(), size, path.c_str());
        EXPECT_EQ(buffer.substr(size), std::string(8, kGuard)) << "wrote past the buffer";
        if (size == 0) {
            EXPECT_EQ(result, 0u);
            return {result, "<untouched>"};
        }
        EXPECT_LT(result, size);
        EXPECT_EQ(buffer[result], '\0') << "no terminator after the text";
        return {result, buffer.substr(0, result)};
    }

    std::string Text(const char* section, const char* key, const std::string& path,
                     const char* def = "<default>") {
        return Get(section, key, def, path).text;
    }

    uint32_t Int(const char* section, const char* key, int32_t def, const std::string& path) {
        return GetParam()->getInt(section, key, def, path.c_str());
    }

    bool Put(const char* section, const char* key, const char* value, const std::string& path) {
        return GetParam()->writeString(section, key, value, path.c_str());
    }

    bool WineWriter() const { return GetParam()->wineWriter; }

private:
    fs::path folder_;
    int files_ = 0;
};

TEST_P(IniTest, MissingFileSectionOrKeyGivesTheDefault) {
    const std::string missing = (fs::path(NewPath()).parent_path() / "none.ini").string();
    EXPECT_EQ(Text("Sec", "Key", missing), "<default>");
    EXPECT_FALSE(fs::exists(missing)) << "reading must not create the file";

    const std::string path = NewFile("[Sec]\r\nKey=1\r\nBare\r\nEmpty=\r\n");
    EXPECT_EQ(Text("Other", "Key", path), "<default>");
    EXPECT_EQ(Text("Sec", "Nope", path), "<default>");
    EXPECT_EQ(Text("Sec", "Bare", path), "<default>") << "a line without '=' holds no value";
    EXPECT_EQ(Text("Sec", "Empty", path), "") << "an empty value is a value";

    Read nullDefault = Get("Sec", "Nope", nullptr, path);
    EXPECT_EQ(nullDefault.result, 0u);
    EXPECT_EQ(nullDefault.text, "");
    EXPECT_EQ(Text("Sec", nullptr, path), "<default>");
    EXPECT_EQ(Text(nullptr, "Key", path), "<default>");

    // The default is read like a value: trailing spaces (never its first character) and
    // matching quotes go, leading blanks and other trailing blanks stay.
    EXPECT_EQ(Text("Sec", "Nope", path, "def  "), "def");
    EXPECT_EQ(Text("Sec", "Nope", path, "  def"), "  def");
    EXPECT_EQ(Text("Sec", "Nope", path, "  "), " ");
    EXPECT_EQ(Text("Sec", "Nope", path, "d\t"), "d\t");
    EXPECT_EQ(Text("Sec", "Nope", path, "\"def\""), "def");
    EXPECT_EQ(Text("Sec", "Nope", path, "\""), "\"");
}

TEST_P(IniTest, NamesMatchWithoutLetterCaseOrSurroundingBlanks) {
    const std::string path = NewFile(
        "[Sec]\r\nKey=Value\r\n  spaced\t =  v\r\n\x1A"
        "ctrlz\x1A=z\r\n"
        "  [ Other ]  \r\nx=1\r\n"
        "[A] ; a comment after the header\r\nk=a\r\n"
        "[C]junk]tail\r\nk=c\r\n"
        "\t[G]\r\nk=g\r\n");
    EXPECT_EQ(Text("Sec", "Key", path), "Value");
    EXPECT_EQ(Text("sEC", "kEY", path), "Value");
    EXPECT_EQ(Text(" Sec ", "\tKey ", path), "Value");
    EXPECT_EQ(Text("Sec", "SPACED", path), "v");
    EXPECT_EQ(Text("Sec", "ctrlz", path), "z");
    EXPECT_EQ(Text("other", "x", path), "1");
    EXPECT_EQ(Text("A", "k", path), "a");
    EXPECT_EQ(Text("C]junk", "k", path), "c") << "the name ends at the last ']'";
    EXPECT_EQ(Text("C", "k", path), "<default>");
    EXPECT_EQ(Text("G", "k", path), "g");
}

TEST_P(IniTest, DoubleByteNamesAreComparedExactly) {
    // GBK trail bytes include the ASCII letters: 81 41 and 81 61 are two different characters.
    // Full-width and Greek letters have cases, but only ASCII letters are folded.
    const std::string path = NewFile(
        "[\xD2\xF4\xC0\xD6]\r\n"
        "\xD0\xD0=hang\r\n\x81\x41=upper\r\n\x81\x61=lower\r\n\xA3\xC1=fullwidth\r\n"
        "\xA6\xA1=alpha\r\nk=\xD0\xD0\xB9\xFA\r\n");
    const char* section = "\xD2\xF4\xC0\xD6";
    EXPECT_EQ(Text(section, "\xD0\xD0", path), "hang");
    EXPECT_EQ(Text(section, "\x81\x41", path), "upper");
    EXPECT_EQ(Text(section, "\x81\x61", path), "lower");
    EXPECT_EQ(Text(section, "\xA3\xE1", path), "<default>");
    EXPECT_EQ(Text(section, "\xA6\xC1", path), "<default>");
    EXPECT_EQ(Text(section, "K", path), "\xD0\xD0\xB9\xFA");
}

TEST_P(IniTest, ValuesLoseSurroundingBlanksAndMatchingQuotes) {
    const std::string path = NewFile(
        "[S]\r\n"
        "plain=  a b c \t\r\n"
        "q1=\"quoted\"\r\nq2='single'\r\nq3=\"mixed'\r\nq4=\"\r\nq5=\"\"\r\nq6=\" in \"\r\n"
        "q7=\"open\r\nq8=open\"\r\nq9=\"a\"b\"\r\nq10= \"x\" \r\n"
        "semi=val ; not a comment\r\nmore = v = w \r\n"
        "ctrlz=\x1A\x1Avalue\x1A\r\n"
        "ideographic=\xA1\xA1gb\xA1\xA1\r\n"
        "control=\x1Cx\x1F\r\n");
    EXPECT_EQ(Text("S", "plain", path), "a b c");
    EXPECT_EQ(Text("S", "q1", path), "quoted");
    EXPECT_EQ(Text("S", "q2", path), "single");
    EXPECT_EQ(Text("S", "q3", path), "\"mixed'");
    EXPECT_EQ(Text("S", "q4", path), "\"");
    EXPECT_EQ(Text("S", "q5", path), "");
    EXPECT_EQ(Text("S", "q6", path), " in ");
    EXPECT_EQ(Text("S", "q7", path), "\"open");
    EXPECT_EQ(Text("S", "q8", path), "open\"");
    EXPECT_EQ(Text("S", "q9", path), "a\"b");
    EXPECT_EQ(Text("S", "q10", path), "x");
    EXPECT_EQ(Text("S", "semi", path), "val ; not a comment");
    EXPECT_EQ(Text("S", "more", path), "v = w");
    EXPECT_EQ(Text("S", "ctrlz", path), "value");
    EXPECT_EQ(Text("S", "ideographic", path), "\xA1\xA1gb\xA1\xA1");
    EXPECT_EQ(Text("S", "control", path), "\x1Cx\x1F");
}

TEST_P(IniTest, CommentsBareLinesAndDuplicates) {
    const std::string path = NewFile(
        "global=g\r\n"
        "[Sec]\r\n;hidden=1\r\n#hash=2\r\nbare\r\nbare=shadowed\r\ndup=first\r\ndup=second\r\n"
        "=nameless\r\n[Bad\r\nafterBad=1\r\n"
        "[Other]\r\nx=1\r\n"
        "[sec]\r\ndup=third\r\nmore=m\r\n"
        "[]\r\nglobal=late\r\n");
    EXPECT_EQ(Text("Sec", "hidden", path), "<default>") << "';' starts a comment line";
    EXPECT_EQ(Text("Sec", "#hash", path), "2") << "'#' does not";
    EXPECT_EQ(Text("Sec", "bare", path), "<default>") << "the first line of a name counts";
    EXPECT_EQ(Text("Sec", "dup", path), "first");
    EXPECT_EQ(Text("Sec", "", path), "nameless");
    EXPECT_EQ(Text("Sec", "afterBad", path), "1") << "'[' without ']' is no header";
    EXPECT_EQ(Text("Sec", "more", path), "<default>") << "a second section of a name is unread";
    EXPECT_EQ(Text("", "global", path), "g") << "keys before any header are section \"\"";
}

TEST_P(IniTest, AnyLineEndIsALineEnd) {
    const std::string lf = NewFile("[S]\nk=lf\n[T]\nk=t");
    EXPECT_EQ(Text("S", "k", lf), "lf");
    EXPECT_EQ(Text("T", "k", lf), "t") << "a last line without a line break";

    const std::string cr = NewFile("[S]\rk=cr\rnext=n\r\r\nafter=a\r\n");
    EXPECT_EQ(Text("S", "k", cr), "cr");
    EXPECT_EQ(Text("S", "next", cr), "n");
    EXPECT_EQ(Text("S", "after", cr), "a");

    const std::string bom = NewFile("\xEF\xBB\xBF[S]\r\nk=bom\r\n");
    EXPECT_EQ(Text("S", "k", bom), "bom") << "a UTF-8 byte order mark is not part of the header";
}

TEST_P(IniTest, ValuesAreCutToTheBuffer) {
    const std::string path = NewFile("[S]\r\nk=Value\r\nq=\"quoted\"\r\n");
    EXPECT_EQ(Get("S", "k", "d", path, 0).result, 0u);
    Read one = Get("S", "k", "d", path, 1);
    EXPECT_EQ(one.result, 0u);
    EXPECT_EQ(one.text, "");
    EXPECT_EQ(Get("S", "k", "d", path, 2).text, "V");
    Read cut = Get("S", "k", "d", path, 5);
    EXPECT_EQ(cut.result, 4u);
    EXPECT_EQ(cut.text, "Valu");
    Read fits = Get("S", "k", "d", path, 6);
    EXPECT_EQ(fits.result, 5u);
    EXPECT_EQ(fits.text, "Value");
    EXPECT_EQ(Get("S", "none", "default", path, 3).text, "de");

    // Quotes are removed before the text is cut: "quoted" needs 7 bytes.
    EXPECT_EQ(Get("S", "q", "d", path, 5).text, "quot");
    EXPECT_EQ(Get("S", "q", "d", path, 7).text, "quoted");

    const std::string longValue(1500, 'x');
    const std::string longFile = NewFile("[S]\r\nk=" + longValue + "\r\n");
    Read capped = Get("S", "k", "d", longFile);
    EXPECT_EQ(capped.result, platform::kIniTextCapacity - 1);
    EXPECT_EQ(capped.text, longValue.substr(0, platform::kIniTextCapacity - 1));
}

TEST_P(IniTest, CutsNeverSplitADoubleByteCharacter) {
    const std::string path = NewFile("[S]\r\nk=\xD0\xD0\xB9\xFA\r\n");  // two characters
    EXPECT_EQ(Get("S", "k", "d", path, 2).text, "");
    EXPECT_EQ(Get("S", "k", "d", path, 3).text, "\xD0\xD0");
    Read half = Get("S", "k", "d", path, 4);
    EXPECT_EQ(half.result, 2u);
    EXPECT_EQ(half.text, "\xD0\xD0");
    EXPECT_EQ(Get("S", "k", "d", path, 5).text, "\xD0\xD0\xB9\xFA");
    EXPECT_EQ(Get("S", "none", "a\xD0\xD0", path, 3).text, "a");
}

TEST_P(IniTest, IntegersAreReadAsThePlatformReadsThem) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"12abc", 12u},
        {"  -5", 0xFFFFFFFBu},
        {"+7", 7u},
        {"0x10", 16u},
        {"0X1f", 0u},
        {"-0x10", 0xFFFFFFF0u},
        {"0x", 0u},
        {"0x1g", 1u},
        {"0o17", 15u},
        {"0b101", 5u},
        {"0b102", 2u},
        {"010", 10u},
        {"abc", 0u},
        {"- 5", 0u},
        {"--1", 0u},
        {"+-5", 0u},
        {"\"42\"", 42u},
        {"'7'", 7u},
        {"\" 9\"", 9u},
        {" 3 4", 3u},
        {"\t8", 8u},
        {"4294967295", 0xFFFFFFFFu},
        {"4294967296", 0u},
        {"99999999999", 1215752191u},
        {"2147483648", 0x80000000u},
        {"-2147483649", 0x7FFFFFFFu},
        // Only the first 29 characters are read.
        {"000000000000000000000000000012", 1u},
        {"0000000000000000000000000012", 12u},
    };
    std::ostringstream file;
    file << "[v]\r\n";
    int index = 0;
    for (const auto& c : cases) {
        file << "k" << index++ << "=" << c.first << "\r\n";
    }
    file << "empty=\r\nbare\r\nquotes=\"\"\r\nblank= \r\n";
    const std::string path = NewFile(file.str());
    index = 0;
    for (const auto& c : cases) {
        const std::string key = "k" + std::to_string(index++);
        EXPECT_EQ(Int("v", key.c_str(), -9, path), c.second) << "value " << c.first;
    }
    EXPECT_EQ(Int("v", "empty", -9, path), 0xFFFFFFF7u) << "an empty value gives the default";
    EXPECT_EQ(Int("v", "bare", 77, path), 77u);
    EXPECT_EQ(Int("v", "quotes", 77, path), 77u);
    EXPECT_EQ(Int("v", "blank", 77, path), 77u);
    EXPECT_EQ(Int("v", "missing", 2147483647, path), 2147483647u);
    EXPECT_EQ(Int("none", "missing", 500, path), 500u);
    EXPECT_EQ(Int("v", nullptr, 3, path), 3u);
}

TEST_P(IniTest, WritesCreateTheFileSectionsAndKeys) {
    const std::string path = NewPath();
    ASSERT_TRUE(Put("Sec", "Key", "Value", path));
    EXPECT_EQ(Bytes(path), "[Sec]\r\nKey=Value\r\n");
    ASSERT_TRUE(Put("Sec", "Key2", "v2", path));
    ASSERT_TRUE(Put("sec", "KEY", "new", path)) << "replaced in place, spelled as in the file";
    ASSERT_TRUE(Put("Sec", "Added", "\xD0\xD0", path));
    ASSERT_TRUE(Put(" Other ", " pad ", " x", path)) << "leading blanks are not written";
    EXPECT_EQ(Bytes(path),
              "[Sec]\r\nKey=new\r\nKey2=v2\r\nAdded=\xD0\xD0\r\n[Other ]\r\npad =x\r\n");
    EXPECT_EQ(Text("Other", "pad", path), "x");
    EXPECT_EQ(Text("Sec", "Added", path), "\xD0\xD0");
}

TEST_P(IniTest, WritesEditOnlyTheirOwnLine) {
    const std::string dup = NewFile("[A]\r\na=1\r\n[B]\r\nb=1\r\n[A]\r\na=2\r\nc=3\r\n");
    ASSERT_TRUE(Put("A", "a", "9", dup));
    ASSERT_TRUE(Put("A", "c", "8", dup));
    EXPECT_EQ(Bytes(dup), "[A]\r\na=9\r\nc=8\r\n[B]\r\nb=1\r\n[A]\r\na=2\r\nc=3\r\n");

    const std::string noBreak = NewFile("[Sec]\r\nKey=old");
    ASSERT_TRUE(Put("Sec", "k2", "v", noBreak));
    EXPECT_EQ(Bytes(noBreak), "[Sec]\r\nKey=old\r\nk2=v\r\n");
    const std::string noBreak2 = NewFile("[Sec]\r\nKey=old");
    ASSERT_TRUE(Put("Sec", "Key", "new", noBreak2));
    EXPECT_EQ(Bytes(noBreak2), "[Sec]\r\nKey=new\r\n");

    const std::string global = NewFile("[A]\r\na=1\r\n");
    ASSERT_TRUE(Put("", "g", "1", global));
    EXPECT_EQ(Bytes(global), "g=1\r\n[A]\r\na=1\r\n");

    const std::string bare = NewFile("[S]\r\nk\r\nk=1\r\n");
    ASSERT_TRUE(Put("S", "k", "2", bare));
    EXPECT_EQ(Bytes(bare), "[S]\r\nk=2\r\nk=1\r\n");

    const std::string bom = NewFile("\xEF\xBB\xBF[A]\r\na=1\r\n");
    ASSERT_TRUE(Put("A", "b", "2", bom));
    EXPECT_EQ(Bytes(bom), "\xEF\xBB\xBF[A]\r\na=1\r\nb=2\r\n");

    const std::string unchanged = NewFile("[A]\r\na=1\r\n");
    ASSERT_TRUE(Put("A", "a", "1", unchanged));
    EXPECT_EQ(Bytes(unchanged), "[A]\r\na=1\r\n");
}

TEST_P(IniTest, WritesKeepEveryOtherLineByteForByte) {
    const std::string original =
        "; top comment\r\n\r\n[Sec]\r\n  Key =  old value ; c\r\n; inner\r\n\r\nother = 1\r\n"
        "\r\n[Next]\nn=1\n";
    const std::string path = NewFile(original);
    ASSERT_TRUE(Put("Sec", "Key", "new", path));
    ASSERT_TRUE(Put("Sec", "Added", "a", path));
    ASSERT_TRUE(Put("Next", "m", "2", path));
    ASSERT_TRUE(Put("Third", "t", "3", path));
    EXPECT_EQ(Text("Sec", "Key", path), "new");
    EXPECT_EQ(Text("Sec", "other", path), "1");
    EXPECT_EQ(Text("Sec", "Added", path), "a");
    EXPECT_EQ(Text("Next", "n", path), "1");
    EXPECT_EQ(Text("Next", "m", path), "2");
    EXPECT_EQ(Text("Third", "t", path), "3");
    if (WineWriter()) {
        EXPECT_EQ(Bytes(path),
                  "; top comment\r\n[Sec]\r\nKey=new\r\n; inner\r\nother=1\r\nAdded=a\r\n"
                  "[Next]\r\nn=1\r\nm=2\r\n[Third]\r\nt=3\r\n");
    } else {
        EXPECT_EQ(Bytes(path),
                  "; top comment\r\n\r\n[Sec]\r\nKey=new\r\n; inner\r\n\r\nother = 1\r\n"
                  "Added=a\r\n\r\n[Next]\nn=1\nm=2\r\n[Third]\r\nt=3\r\n");
    }
}

TEST_P(IniTest, NullValueDeletesTheKeyAndNullKeyTheSection) {
    const std::string path = NewFile("x=1\r\n[A]\r\na=1\r\nb=2\r\n[B]\r\nb=1\r\n[A]\r\na=2\r\n");
    ASSERT_TRUE(Put("A", "a", nullptr, path));
    EXPECT_EQ(Bytes(path), "x=1\r\n[A]\r\nb=2\r\n[B]\r\nb=1\r\n[A]\r\na=2\r\n");
    ASSERT_TRUE(Put("a", nullptr, nullptr, path)) << "only the first section of the name";
    EXPECT_EQ(Bytes(path), "x=1\r\n[B]\r\nb=1\r\n[A]\r\na=2\r\n");
    EXPECT_EQ(Text("A", "a", path), "2");

    ASSERT_TRUE(Put("B", "none", nullptr, path));
    ASSERT_TRUE(Put("None", nullptr, nullptr, path));
    EXPECT_EQ(Bytes(path), "x=1\r\n[B]\r\nb=1\r\n[A]\r\na=2\r\n");

    const std::string missing = NewPath();
    EXPECT_TRUE(Put("A", "k", nullptr, missing));
    EXPECT_TRUE(Put("A", nullptr, nullptr, missing));
    EXPECT_FALSE(fs::exists(missing)) << "deleting from a missing file creates none";

    const std::string shadow = NewFile("[S]\r\nk\r\nk=1\r\n");
    ASSERT_TRUE(Put("S", "k", nullptr, shadow));
    EXPECT_EQ(Text("S", "k", shadow), "1");
}

TEST_P(IniTest, AnEmptyValueIsWrittenAsAnEmptyValue) {
    const std::string path = NewFile("[A]\r\nk=v\r\n");
    ASSERT_TRUE(Put("A", "k", "", path));
    ASSERT_TRUE(Put("A", "e", "", path));
    EXPECT_EQ(Bytes(path), "[A]\r\nk=\r\ne=\r\n");
    EXPECT_EQ(Text("A", "k", path), "");
    EXPECT_EQ(Text("A", "e", path), "");
}

TEST_P(IniTest, WritesCannotAddLinesOrSections) {
    const std::string path = NewFile("[A]\r\na=1\r\n");
    ASSERT_TRUE(Put("A", "v", "1\r\n[Evil]\r\nk=2", path));
    ASSERT_TRUE(Put("A", "k\nx", "3", path));
    EXPECT_EQ(Bytes(path), "[A]\r\na=1\r\nv=1\r\nk=3\r\n");
    EXPECT_EQ(Text("Evil", "k", path), "<default>");
    EXPECT_FALSE(Put("A", "[Evil]", "1", path)) << "a key that would read as a header";
    EXPECT_FALSE(Put(nullptr, "k", "v", path));
    EXPECT_FALSE(GetParam()->writeString("A", "k", "v", nullptr));
    EXPECT_EQ(Bytes(path), "[A]\r\na=1\r\nv=1\r\nk=3\r\n");
}

TEST_P(IniTest, WritersAtTheSameTimeKeepEachOthersKeys) {
    // Two updaters record their versions in one file at once.
    const std::string path = NewPath();
    constexpr int kKeys = 150;
    auto writeKeys = [&](const char* section) {
        for (int i = 0; i < kKeys; ++i) {
            const std::string key = "k" + std::to_string(i);
            GetParam()->writeString(section, key.c_str(), std::to_string(i).c_str(), path.c_str());
        }
    };
    std::thread first(writeKeys, "one");
    std::thread second(writeKeys, "two");
    first.join();
    second.join();
    int kept = 0;
    for (const char* section : {"one", "two"}) {
        for (int i = 0; i < kKeys; ++i) {
            kept += Int(section, ("k" + std::to_string(i)).c_str(), -1, path) ==
                            static_cast<uint32_t>(i)
                        ? 1
                        : 0;
        }
    }
    EXPECT_EQ(kept, 2 * kKeys);
}

INSTANTIATE_TEST_SUITE_P(Backends, IniTest,
#if defined(_WIN32)
                         ::testing::Values(&kPlatformBackend, &kOwnBackend),
#else
                         ::testing::Values(&kPlatformBackend),
#endif
                         [](const ::testing::TestParamInfo<const Backend*>& param) {
                             return std::string(param.param->name);
                         });

// The helpers the programs use, on top of the functions above.
class IniHelpersTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() / ("ini-helpers-" + std::to_string(random()));
        ASSERT_TRUE(fs::create_directories(folder_));
        path_ = (folder_ / "SystemOption.ini").string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path folder_;
    std::string path_;
};

TEST_F(IniHelpersTest, IntegersAndTextsRoundTrip) {
    ASSERT_TRUE(platform::WriteIniInt("Music", "Pos", 300, path_.c_str()));
    ASSERT_TRUE(platform::WriteIniInt("Music", "Open", -5, path_.c_str()));
    EXPECT_EQ(platform::GetIniInt("Music", "Pos", 500, path_.c_str()), 300u);
    EXPECT_EQ(static_cast<int32_t>(platform::GetIniInt("Music", "Open", 1, path_.c_str())), -5);
    EXPECT_EQ(platform::GetIniText("Music", "Pos", "", path_.c_str()), "300");
    EXPECT_EQ(platform::GetIniText("Music", "None", "dflt", path_.c_str()), "dflt");
    EXPECT_EQ(platform::GetIniText("Music", "Pos", "", path_.c_str(), 0), "");

    // A page address of 1024 bytes or more comes back as its first 1023.
    const std::string address(1100, 'a');
    ASSERT_TRUE(platform::WriteIniString("URL", "URL", address.c_str(), path_.c_str()));
    EXPECT_EQ(platform::GetIniText("URL", "URL", "", path_.c_str()), address.substr(0, 1023));
    EXPECT_EQ(platform::GetIniText("URL", "URL", "", path_.c_str(), 10), address.substr(0, 9));
}

}  // namespace
