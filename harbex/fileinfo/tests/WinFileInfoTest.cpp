// The version reader as callers see it. On Windows every file is read twice, through the
// platform's version service and through our own PE reader, and both must give the same
// answers; on Linux the reader is held against the values the files were made with.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>

#include "PeSynth.h"
#include "fileinfo/PeVersion.h"
#include "fileinfo/VersionService.h"
#include "harbex/WinFileInfo.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"

namespace {

using namespace fileinfo_test;
namespace fs = std::filesystem;
namespace hf = harbex::fileinfo;

constexpr std::array<const char*, 8> kNames = {"FileVersion", "ProductVersion", "InternalName",
                                               "CompanyName", "LegalCopyright", "OriginalFilename",
                                               "ProductName", "FileDescription"};

// A file in the temporary folder, named after the running test, removed afterwards.
class TempFile {
public:
    TempFile(const std::string& stem, const Bytes& bytes) {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("harbex_fileinfo_") + test->test_suite_name() + "_" +
                           test->name() + "_" + stem + ".dll";
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        m_path = fs::temp_directory_path() / name;
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() {
        std::error_code ignored;
        fs::remove(m_path, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::string Path() const { return m_path.string(); }

private:
    fs::path m_path;
};

// The reader as built for this platform, with its state in view.
class Probe : public CWinFileInfo {
public:
    std::uint32_t LangCharset() const { return m_dwLangCharset; }
    std::uint32_t FileInfoSize() const { return m_dwFileInfoSize; }
    const unsigned char* Block() const { return m_cbFileInfo; }
    std::size_t BlockSize() const { return sizeof m_cbFileInfo; }
};

// The same algorithm over our own PE reader, whatever the platform.
class PortableReader {
public:
    bool OpenWinFile(const char* fileName) {
        return hf::OpenVersionFile(hf::PortableVersionService(), fileName, State());
    }
    const char* QueryValue(const char* name) {
        return hf::QueryVersionString(hf::PortableVersionService(), State(), name);
    }
    const tagFixedFileInfo* GetFixedFileInfo() const { return m_fixed; }
    std::uint32_t LangCharset() const { return m_langCharset; }
    std::uint32_t FileInfoSize() const { return m_size; }
    const unsigned char* Block() const { return m_block; }

private:
    hf::VersionState State() { return {m_langCharset, m_size, m_block, m_fixed}; }
    std::uint32_t m_langCharset = 0;
    std::uint32_t m_size = 0;
    alignas(4) unsigned char m_block[4096] = {};
    tagFixedFileInfo* m_fixed = nullptr;
};

// Everything a caller can learn from one file.
struct Answers {
    bool opened = false;
    std::uint32_t size = 0;
    std::uint32_t langCharset = 0;
    std::array<std::optional<std::string>, 8> strings;
    std::optional<std::array<std::uint32_t, 13>> fixed;
    Bytes tree;  // the version tree and the four bytes behind it, right after opening

    bool operator==(const Answers&) const = default;
};

void PrintTo(const Answers& a, std::ostream* os) {
    *os << "{opened=" << a.opened << " size=" << a.size << " lang=" << std::hex << a.langCharset
        << std::dec;
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        *os << " " << kNames[i] << "=" << (a.strings[i] ? '"' + *a.strings[i] + '"' : "null");
    }
    if (a.fixed) {
        *os << std::hex << " file=" << (*a.fixed)[2] << "." << (*a.fixed)[3]
            << " product=" << (*a.fixed)[4] << "." << (*a.fixed)[5] << std::dec;
    }
    *os << " tree=" << a.tree.size() << " bytes}";
}

std::array<std::uint32_t, 13> Fields(const tagFixedFileInfo& f) {
    return {f.dwSignature,        f.dwStrucVersion,     f.dwFileVersionMS, f.dwFileVersionLS,
            f.dwProductVersionMS, f.dwProductVersionLS, f.dwFileFlagsMask, f.dwFileFlags,
            f.dwFileOS,           f.dwFileType,         f.dwFileSubtype,   f.dwFileDateMS,
            f.dwFileDateLS};
}

template <class Reader>
Answers Collect(Reader& reader, const std::string& path) {
    Answers answers;
    answers.opened = reader.OpenWinFile(path.c_str());
    answers.size = reader.FileInfoSize();
    answers.langCharset = reader.LangCharset();
    if (answers.opened) {
        const unsigned char* block = reader.Block();
        std::size_t tree = std::min<std::size_t>((block[0] | block[1] << 8) + 4, 4096);
        answers.tree.assign(block, block + tree);
    }
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (const char* text = reader.QueryValue(kNames[i])) {
            answers.strings[i] = text;
        }
    }
    if (const tagFixedFileInfo* fixed = reader.GetFixedFileInfo()) {
        answers.fixed = Fields(*fixed);
    }
    return answers;
}

// What a file made from `resource` must give.
Answers Expected(const Bytes& resource, std::uint32_t langCharset,
                 const std::map<std::string, std::string>& strings) {
    Answers a;
    a.opened = true;
    a.size = static_cast<std::uint32_t>(resource.size() * 2 + 4);
    a.langCharset = langCharset;
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (auto it = strings.find(kNames[i]); it != strings.end()) {
            a.strings[i] = it->second;
        }
    }
    std::array<std::uint32_t, 13> fields{};
    std::memcpy(fields.data(), resource.data() + 40, sizeof fields);  // little-endian hosts
    a.fixed = fields;
    std::size_t tree = resource[0] | resource[1] << 8;
    a.tree.assign(resource.begin(), resource.begin() + static_cast<std::ptrdiff_t>(tree));
    a.tree.insert(a.tree.end(), {'F', 'E', '2', 'X'});
    return a;
}

std::u16string Wide(const std::string& ascii) {
    return {ascii.begin(), ascii.end()};
}

StringTable Table(const std::string& name, const std::map<std::string, std::string>& strings) {
    StringTable table{Wide(name), {}};
    for (const auto& [key, text] : strings) {
        table.strings.emplace_back(Wide(key), Wide(text));
    }
    return table;
}

const std::map<std::string, std::string> kAllStrings = {
    {"FileVersion", "1.2.3.4"},
    {"ProductVersion", "5.6.7.8"},
    {"InternalName", "synth"},
    {"CompanyName", "Synth Works"},
    {"LegalCopyright", "Copyright (C) Synth Works"},
    {"OriginalFilename", "synth.dll"},
    {"ProductName", "Synth Product"},
    {"FileDescription", "A synthesised library"}};

Bytes EnglishResource() {
    VersionRecipe recipe;
    recipe.tables = {Table("040904b0", kAllStrings)};
    return VersionBlock(recipe);
}

struct Case {
    std::string name;
    Bytes file;
    Answers expected;
};

Bytes WithFileVersion(const std::string& text, std::uint32_t translation) {
    VersionRecipe recipe;
    recipe.translations = {translation};
    recipe.tables = {Table("040904b0", {{"FileVersion", text}})};
    return VersionBlock(recipe);
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    Bytes english = EnglishResource();
    cases.push_back({"english", BuildPe(english), Expected(english, 0x040904B0, kAllStrings)});

    PeRecipe pe32;
    pe32.pe32 = true;
    pe32.resources = {{0x0409, english}};
    cases.push_back({"pe32", BuildPe(pe32), Expected(english, 0x040904B0, kAllStrings)});

    {  // Without a translation the table "00000000" is read.
        VersionRecipe recipe;
        recipe.translations = {};
        recipe.tables = {Table("00000000", {{"FileVersion", "9.9"}}),
                         Table("040904b0", {{"FileVersion", "1.0"}})};
        Bytes r = VersionBlock(recipe);
        cases.push_back({"no_translation", BuildPe(r), Expected(r, 0, {{"FileVersion", "9.9"}})});
    }
    {  // The first translation decides; table names and keys match in any letter case.
        VersionRecipe recipe;
        recipe.translations = {0x04E40407, 0x04B00409};
        recipe.tables = {Table("040904b0", {{"FileVersion", "en"}}),
                         Table("040704E4", {{"FILEVERSION", "de"}, {"productversion", "p-de"}})};
        Bytes r = VersionBlock(recipe);
        cases.push_back(
            {"two_tables", BuildPe(r),
             Expected(r, 0x040704E4, {{"FileVersion", "de"}, {"ProductVersion", "p-de"}})});
    }
    {  // A missing name gives null, an empty value gives an empty text.
        VersionRecipe recipe;
        recipe.tables = {Table("040904b0", {{"FileVersion", "1.0"}, {"CompanyName", ""}})};
        Bytes r = VersionBlock(recipe);
        cases.push_back({"missing_and_empty", BuildPe(r),
                         Expected(r, 0x040904B0, {{"FileVersion", "1.0"}, {"CompanyName", ""}})});
    }
    {  // Several languages: Simplified Chinese before US English.
        Bytes en = WithFileVersion("en", 0x04B00409);
        Bytes zh = WithFileVersion("zh", 0x04B00409);
        PeRecipe recipe;
        recipe.resources = {{0x0409, en}, {0x0804, zh}};
        cases.push_back(
            {"chinese_first", BuildPe(recipe), Expected(zh, 0x040904B0, {{"FileVersion", "zh"}})});
    }
    {  // The language-neutral resource before any other.
        Bytes neutral = WithFileVersion("neutral", 0x04B00409);
        Bytes zh = WithFileVersion("zh", 0x04B00409);
        PeRecipe recipe;
        recipe.resources = {{0x0804, zh}, {0x0000, neutral}};
        cases.push_back({"neutral_first", BuildPe(recipe),
                         Expected(neutral, 0x040904B0, {{"FileVersion", "neutral"}})});
    }
    {  // None of the preferred languages: the first one.
        Bytes fr = WithFileVersion("fr", 0x04B00409);
        Bytes de = WithFileVersion("de", 0x04B00409);
        PeRecipe recipe;
        recipe.resources = {{0x040C, fr}, {0x0407, de}};
        cases.push_back(
            {"first_language", BuildPe(recipe), Expected(de, 0x040904B0, {{"FileVersion", "de"}})});
    }
    {  // A resource of 2046 bytes is reported as 4096 and still fits; one more byte does not.
        Bytes largest = english;
        largest.resize(2046, 0);
        cases.push_back({"largest", BuildPe(largest), Expected(largest, 0x040904B0, kAllStrings)});
        Bytes oversized = english;
        oversized.resize(2047, 0);
        cases.push_back({"oversized", BuildPe(oversized), Answers{}});
    }
    {  // Only the name every version resource has counts.
        PeRecipe recipe;
        recipe.nameId = 2;
        recipe.resources = {{0x0409, english}};
        cases.push_back({"other_name", BuildPe(recipe), Answers{}});
    }
    {  // A translation entry shorter than 32 bits is no translation.
        VersionRecipe recipe;
        recipe.tables = {Table("040904b0", {{"FileVersion", "1.0"}})};
        VersionNode tree = VersionTree(recipe);
        VersionNode& translation = tree.children.back().children.front();
        translation.value = {0x09, 0x04};
        translation.valueLength = 2;
        Bytes r = Serialize(tree);
        cases.push_back({"short_translation", BuildPe(r), Expected(r, 0, {})});
    }
    {  // A fixed record of the wrong length refuses the file.
        VersionRecipe recipe;
        VersionNode tree = VersionTree(recipe);
        tree.value.resize(48);
        tree.valueLength = 48;
        cases.push_back({"short_fixed_record", BuildPe(Serialize(tree)), Answers{}});
    }
    {
        std::mt19937 random(7);
        Bytes garbage(3000);
        for (auto& b : garbage) {
            b = static_cast<std::uint8_t>(random());
        }
        cases.push_back({"garbage", garbage, Answers{}});
        Bytes headers = BuildPe(english);
        headers.resize(0x180);  // inside the section table
        cases.push_back({"cut_in_headers", headers, Answers{}});
        Bytes body = BuildPe(english);
        body.resize(kRsrcFileOffset + 40);  // inside the resource directories
        cases.push_back({"cut_in_resources", body, Answers{}});
    }
    return cases;
}

TEST(WinFileInfoFiles, EachFileGivesItsValues) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        TempFile file(c.name, c.file);
        Probe reader;
        EXPECT_EQ(Collect(reader, file.Path()), c.expected);
#if defined(_WIN32)
        // Our own PE reader must read what the platform's service reads.
        PortableReader portable;
        EXPECT_EQ(Collect(portable, file.Path()), c.expected);
#endif
    }
}

TEST(WinFileInfoFiles, ToolchainMadeLibrary) {
    std::string path = platform::JoinPath(platform::ProgramFolder(), "testdata");
    path = platform::JoinPath(platform::JoinPath(path, "fileinfo"), "sample.dll");
    Probe reader;
    Answers answers = Collect(reader, path);
    ASSERT_TRUE(answers.opened);
    EXPECT_EQ(answers.langCharset, 0x040904B0u);
    Answers expected = answers;
    expected.strings = {"1.2.3.4",
                        "5.6.7.8",
                        "sample",
                        "Sample Makers",
                        "Copyright (C) Sample Makers",
                        "sample.dll",
                        "Sample Product",
                        "Sample library"};
    EXPECT_EQ(answers, expected);
    std::uint32_t high = 0, low = 0;
    EXPECT_TRUE(reader.GetProductVersion(high, low));
    EXPECT_EQ(high, 0x00050006u);
    EXPECT_EQ(low, 0x00070008u);
#if defined(_WIN32)
    PortableReader portable;
    EXPECT_EQ(Collect(portable, path), answers);
#endif
}

#if defined(_WIN32)
TEST(WinFileInfoFiles, TheLibraryItself) {
    std::string path = platform::JoinPath(platform::ProgramFolder(), "Harbex.dll");
    Probe reader;
    Answers answers = Collect(reader, path);
    ASSERT_TRUE(answers.opened);
    EXPECT_EQ(answers.langCharset, 0x080404B0u);
    EXPECT_EQ(answers.strings[0], "1.0.0.0");
    EXPECT_EQ(answers.strings[3], "Lobby Tools Team");
    EXPECT_EQ(answers.strings[5], "Harbex.dll");
    std::uint32_t high = 0, low = 0;
    EXPECT_TRUE(reader.GetFileVersion(high, low));
    EXPECT_EQ(high, 0x00010000u);
    EXPECT_EQ(low, 0u);
    PortableReader portable;
    EXPECT_EQ(Collect(portable, path), answers);
}
#endif

class WinFileInfoTest : public ::testing::Test {
protected:
    TempFile english{"english", BuildPe(EnglishResource())};
};

TEST_F(WinFileInfoTest, NothingBeforeOpen) {
    Probe reader;
    for (const char* name : kNames) {
        EXPECT_EQ(reader.QueryValue(name), nullptr) << name;
    }
    EXPECT_EQ(reader.GetFixedFileInfo(), nullptr);
    std::uint32_t high = 7, low = 7;
    EXPECT_FALSE(reader.GetFileVersion(high, low));
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(low, 0u);
    high = low = 7;
    EXPECT_FALSE(reader.GetProductVersion(high, low));
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(low, 0u);
    EXPECT_EQ(reader.QueryValue(nullptr), nullptr);
    EXPECT_FALSE(reader.OpenWinFile(nullptr));
    EXPECT_FALSE(reader.OpenWinFile(""));
    EXPECT_FALSE(reader.OpenWinFile(fs::temp_directory_path().string().c_str()));  // a folder
}

TEST_F(WinFileInfoTest, GettersAndNumericVersions) {
    Probe reader;
    ASSERT_TRUE(reader.OpenWinFile(english.Path().c_str()));
    const char* (CWinFileInfo::*getters[])() = {
        &CWinFileInfo::GetFileVersion,    &CWinFileInfo::GetProductVersion,
        &CWinFileInfo::GetInternalName,   &CWinFileInfo::GetCompanyName,
        &CWinFileInfo::GetLegalCopyright, &CWinFileInfo::GetOriginalFilename,
        &CWinFileInfo::GetProductName,    &CWinFileInfo::GetFileDescription};
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        const char* text = (reader.*getters[i])();
        ASSERT_NE(text, nullptr) << kNames[i];
        EXPECT_EQ(std::string(text), kAllStrings.at(kNames[i]));
    }
    std::uint32_t high = 0, low = 0;
    EXPECT_TRUE(reader.GetFileVersion(high, low));
    EXPECT_EQ(high, 0x00010002u);
    EXPECT_EQ(low, 0x00030004u);
    EXPECT_TRUE(reader.GetProductVersion(high, low));
    EXPECT_EQ(high, 0x00050006u);
    EXPECT_EQ(low, 0x00070008u);
    EXPECT_EQ(reader.GetFixedFileInfo()->dwSignature, 0xFEEF04BDu);
}

TEST_F(WinFileInfoTest, SecondOpenReplacesOrResets) {
    VersionRecipe other;
    other.fileMS = 0x00090000;
    other.fileLS = 0;
    other.translations = {0x04B00804};
    other.tables = {Table("080404b0", {{"FileVersion", "9.0"}})};
    TempFile second("second", BuildPe(VersionBlock(other)));

    Probe reader;
    ASSERT_TRUE(reader.OpenWinFile(english.Path().c_str()));
    ASSERT_TRUE(reader.OpenWinFile(second.Path().c_str()));
    EXPECT_EQ(reader.LangCharset(), 0x080404B0u);
    EXPECT_STREQ(reader.GetFileVersion(), "9.0");
    EXPECT_EQ(reader.GetCompanyName(), nullptr);
    std::uint32_t high = 0, low = 0;
    EXPECT_TRUE(reader.GetFileVersion(high, low));
    EXPECT_EQ(high, 0x00090000u);

    // A failed open leaves nothing of the file before.
    ASSERT_TRUE(reader.OpenWinFile(english.Path().c_str()));
    std::string missing = english.Path() + ".missing";
    EXPECT_FALSE(reader.OpenWinFile(missing.c_str()));
    EXPECT_EQ(reader.GetFileVersion(), nullptr);
    EXPECT_EQ(reader.GetFixedFileInfo(), nullptr);
    EXPECT_FALSE(reader.GetFileVersion(high, low));
    EXPECT_EQ(reader.LangCharset(), 0u);
    EXPECT_EQ(reader.FileInfoSize(), 0u);
    const unsigned char* block = reader.Block();
    EXPECT_TRUE(
        std::all_of(block, block + reader.BlockSize(), [](unsigned char b) { return b == 0; }));
}

TEST_F(WinFileInfoTest, CopiesAnswerFromTheirOwnBlock) {
    VersionRecipe other;
    other.fileMS = 0x00090000;
    other.tables = {Table("040904b0", {{"FileVersion", "9.0"}})};
    TempFile second("second", BuildPe(VersionBlock(other)));

    auto original = std::make_unique<Probe>();
    ASSERT_TRUE(original->OpenWinFile(english.Path().c_str()));
    Probe copy(*original);
    Probe assigned;
    assigned = *original;
    ASSERT_TRUE(original->OpenWinFile(second.Path().c_str()));
    original.reset();

    for (Probe* reader : {&copy, &assigned}) {
        auto* fixed = reinterpret_cast<const unsigned char*>(reader->GetFixedFileInfo());
        ASSERT_NE(fixed, nullptr);
        EXPECT_GE(fixed, reader->Block());
        EXPECT_LT(fixed, reader->Block() + reader->BlockSize());
        EXPECT_STREQ(reader->GetFileVersion(), "1.2.3.4");
        std::uint32_t high = 0, low = 0;
        EXPECT_TRUE(reader->GetFileVersion(high, low));
        EXPECT_EQ(high, 0x00010002u);
    }
    Probe& self = assigned;
    assigned = self;
    EXPECT_STREQ(assigned.GetProductName(), "Synth Product");

    // Copying an unopened reader gives an unopened reader.
    Probe empty;
    copy = empty;
    EXPECT_EQ(copy.GetFixedFileInfo(), nullptr);
    EXPECT_EQ(copy.GetFileVersion(), nullptr);
}

TEST_F(WinFileInfoTest, ChineseTextsNamesAndFileNamesInTheAnsiCodePage) {
    VersionRecipe recipe;
    recipe.translations = {0x04B00804};
    // A Chinese product name, and a Chinese key with a Chinese value.
    recipe.tables = {
        {u"080404b0", {{u"ProductName", u"\u4E2D\u6587\u5E93"}, {u"\u540D\u79F0", u"\u503C"}}}};
    Bytes file = BuildPe(VersionBlock(recipe));
    // The file's own name is Chinese too, held in the ANSI code page by the caller.
    fs::path path = fs::temp_directory_path() / fs::path(u8"harbex_fileinfo_\u7248\u672C.dll");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    struct Remove {
        fs::path path;
        ~Remove() {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    } cleanup{path};
    std::u8string utf8 = path.u8string();
    std::string ansi =
        platform::Utf8ToAnsi({reinterpret_cast<const char*>(utf8.data()), utf8.size()});
    ASSERT_NE(ansi.find("\xB0\xE6\xB1\xBE"), std::string::npos);

    Probe reader;
    ASSERT_TRUE(reader.OpenWinFile(ansi.c_str()));
    EXPECT_STREQ(reader.GetProductName(), "\xD6\xD0\xCE\xC4\xBF\xE2");
    EXPECT_STREQ(reader.QueryValue("\xC3\xFB\xB3\xC6"), "\xD6\xB5");
#if defined(_WIN32)
    PortableReader portable;
    ASSERT_TRUE(portable.OpenWinFile(ansi.c_str()));
    EXPECT_STREQ(portable.QueryValue("ProductName"), "\xD6\xD0\xCE\xC4\xBF\xE2");
    EXPECT_STREQ(portable.QueryValue("\xC3\xFB\xB3\xC6"), "\xD6\xB5");
#endif
}

TEST_F(WinFileInfoTest, NamesUpToTheQueryPathLimit) {
    // "\StringFileInfo\xxxxxxxx\" takes 25 of the path's 127 characters.
    std::string longest(102, 'n');
    std::string tooLong(103, 'n');
    VersionRecipe recipe;
    recipe.tables = {Table("040904b0", {{longest, "fits"}, {tooLong, "never"}})};
    TempFile file("long_names", BuildPe(VersionBlock(recipe)));
    Probe reader;
    ASSERT_TRUE(reader.OpenWinFile(file.Path().c_str()));
    EXPECT_STREQ(reader.QueryValue(longest.c_str()), "fits");
    EXPECT_EQ(reader.QueryValue(tooLong.c_str()), nullptr);
}

}  // namespace
