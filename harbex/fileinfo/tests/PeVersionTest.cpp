// Our PE version reader on damaged and hostile input, and the version query's semantics.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "PeSynth.h"
#include "fileinfo/PeVersion.h"
#include "platform/CodePage.h"

namespace {

using namespace fileinfo_test;
namespace hf = harbex::fileinfo;

const hf::AnsiCodec kAnsi{&platform::Utf16ToAnsi, &platform::AnsiToUtf16};

Bytes SampleResource() {
    VersionRecipe recipe;
    recipe.tables = {{u"040904b0", {{u"FileVersion", u"1.2.3.4"}, {u"CompanyName", u"Synth"}}}};
    return VersionBlock(recipe);
}

std::optional<hf::VersionResource> Find(const Bytes& file) {
    return hf::FindVersionResource(hf::MemorySource(file));
}

TEST(PeVersionFind, LocatesTheResourceThroughTheSectionTable) {
    Bytes resource = SampleResource();
    Bytes file = BuildPe(resource);
    auto found = Find(file);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size, resource.size());
    // The data's address lies past the file's end: only the section's mapping finds it.
    EXPECT_GT(kRsrcRva, file.size());
    EXPECT_TRUE(std::equal(resource.begin(), resource.end(),
                           file.begin() + static_cast<std::ptrdiff_t>(found->offset)));
}

TEST(PeVersionFind, EveryTruncationIsRefusedOrStaysInside) {
    Bytes file = BuildPe(SampleResource());
    auto whole = Find(file);
    ASSERT_TRUE(whole);
    std::uint64_t end = whole->offset + whole->size;
    for (std::size_t size = 0; size < file.size(); ++size) {
        Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
        auto found = Find(cut);
        if (size < end) {
            EXPECT_FALSE(found) << "cut at " << size;
        } else {
            EXPECT_TRUE(found) << "cut at " << size;
        }
    }
}

TEST(PeVersionFind, DamagedHeadersAreRefused) {
    const Bytes good = BuildPe(SampleResource());
    struct Damage {
        const char* what;
        void (*apply)(Bytes&);
    };
    const Damage damages[] = {
        {"no MZ", [](Bytes& f) { f[0] = 'X'; }},
        {"header offset past the end", [](Bytes& f) { Put32(f, 0x3C, 0xFFFFFFF0u); }},
        {"no PE signature", [](Bytes& f) { f[kNtOffset + 1] = 'X'; }},
        {"unknown optional magic", [](Bytes& f) { Put16(f, kNtOffset + 24, 0x107); }},
        {"too few directories", [](Bytes& f) { Put32(f, kNtOffset + 24 + 108, 2); }},
        {"optional header too short", [](Bytes& f) { Put16(f, kNtOffset + 20, 100); }},
        {"section table past the end", [](Bytes& f) { Put16(f, kNtOffset + 6, 0xFFFF); }},
        {"resource address in no section",
         [](Bytes& f) { Put32(f, kNtOffset + 24 + 128, 0x9000); }},
        {"no resource directory", [](Bytes& f) { Put32(f, kNtOffset + 24 + 128, 0); }},
        {"section raw data past the end",
         [](Bytes& f) { Put32(f, kNtOffset + 24 + 240 + 40 + 20, 0x7FFFFF00); }},
    };
    for (const Damage& damage : damages) {
        Bytes file = good;
        damage.apply(file);
        EXPECT_FALSE(Find(file)) << damage.what;
    }
}

TEST(PeVersionFind, HostileResourceDirectories) {
    const Bytes good = BuildPe(SampleResource());
    const std::size_t root = kRsrcFileOffset;
    const std::size_t languages = root + kLanguageDirectory;
    const std::size_t dataEntry = languages + 16 + 8;
    struct Damage {
        const char* what;
        std::size_t offset;
        std::uint32_t value;
        bool sixteenBits;
    };
    const Damage damages[] = {
        // The type directory's entry points back at the root: the walk must not go round.
        {"cycle to the root", root + 16 + 4, 0x80000000u, false},
        {"name directory at itself", root + kNameDirectory + 16 + 4, 0x80000000u | kNameDirectory,
         false},
        {"language entry is a directory", languages + 16 + 4, 0x80000000u | 0x40, false},
        {"type entry is data", root + 16 + 4, kNameDirectory, false},
        {"directory past the end", root + 16 + 4, 0x80000000u | 0x7FFFFFF0u, false},
        {"huge entry count", root + 14, 0xFFFF, true},
        {"data entry past the end", languages + 16 + 4, 0x7FFFFFF0u, false},
        {"data address in no section", dataEntry, 0x00F00000u, false},
        {"data size past the file", dataEntry + 4, 0x7FFFFFFFu, false},
        {"empty data", dataEntry + 4, 0, false},
        {"wrong type", root + 16, 6, false},
        {"wrong name", root + kNameDirectory + 16, 3, false},
    };
    for (const Damage& damage : damages) {
        Bytes file = good;
        if (damage.sixteenBits) {
            Put16(file, damage.offset, static_cast<std::uint16_t>(damage.value));
        } else {
            Put32(file, damage.offset, damage.value);
        }
        EXPECT_FALSE(Find(file)) << damage.what;
    }
}

TEST(PeVersionFind, ReportedSizeLeavesRoomForNarrowTexts) {
    EXPECT_EQ(hf::ReportedVersionInfoSize(100), 204u);
    EXPECT_EQ(hf::ReportedVersionInfoSize(2046), 4096u);
    EXPECT_EQ(hf::ReportedVersionInfoSize(2047), 4098u);
    EXPECT_EQ(hf::ReportedVersionInfoSize(0xFFFFFFFFu), 0xFFFFFFFFu);
}

// A block as the reader keeps it: the resource copied into 4096 zeroed bytes.
struct Block {
    alignas(4) std::uint8_t bytes[4096] = {};
    explicit Block(const Bytes& resource) {
        hf::MemorySource source(resource);
        EXPECT_TRUE(
            hf::CopyVersionInfo(source, {0, static_cast<std::uint32_t>(resource.size())}, bytes));
    }
    const char* Text(const char* path, std::uint32_t* length = nullptr) {
        void* value = nullptr;
        std::uint32_t ignored = 0;
        if (!hf::QueryVersionValue(bytes, path, kAnsi, &value, length ? length : &ignored)) {
            return nullptr;
        }
        return static_cast<const char*>(value);
    }
    bool Sound() const { return hf::IsSoundVersionBlock(bytes); }
};

TEST(PeVersionQuery, PathsAndKeys) {
    Bytes resource = SampleResource();
    Block block(resource);
    ASSERT_TRUE(block.Sound());
    EXPECT_EQ(std::memcmp(block.bytes + resource.size(), "FE2X", 4), 0);

    std::uint32_t length = 0;
    const char* text = block.Text("\\StringFileInfo\\040904b0\\FileVersion", &length);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "1.2.3.4");
    EXPECT_EQ(length, 8u);  // the terminator counts, as it is stored
    EXPECT_GE(reinterpret_cast<const std::uint8_t*>(text), block.bytes + resource.size() + 4);

    // Letter case, doubled and trailing backslashes do not matter; a partial key does.
    EXPECT_STREQ(block.Text("\\\\stringfileinfo\\040904B0\\\\fileversion\\"), "1.2.3.4");
    EXPECT_EQ(block.Text("\\StringFileInfo\\040904b0\\FileVersio"), nullptr);
    EXPECT_EQ(block.Text("\\StringFileInfo\\040904b0\\FileVersionX"), nullptr);
    EXPECT_EQ(block.Text("\\StringFileInfo\\080404b0\\FileVersion"), nullptr);

    // Two texts at once keep their own places.
    const char* company = block.Text("\\StringFileInfo\\040904b0\\CompanyName");
    EXPECT_STREQ(text, "1.2.3.4");
    EXPECT_STREQ(company, "Synth");

    void* value = nullptr;
    ASSERT_TRUE(
        hf::QueryVersionValue(block.bytes, "\\VarFileInfo\\Translation", kAnsi, &value, &length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::memcmp(value, "\x09\x04\xb0\x04", 4), 0);
    for (const char* root : {"\\", "", "\\\\"}) {
        ASSERT_TRUE(hf::QueryVersionValue(block.bytes, root, kAnsi, &value, &length));
        EXPECT_EQ(length, 52u);
        EXPECT_EQ(value, block.bytes + 40);
    }
}

TEST(PeVersionQuery, UnsoundTreesAreRefused) {
    Bytes resource = SampleResource();
    // Offsets in the sample: root 0, its value at 40, StringFileInfo at 92.
    ASSERT_TRUE(Block(resource).Sound());
    struct Damage {
        const char* what;
        void (*apply)(Bytes&);
    };
    const Damage damages[] = {
        {"child longer than its parent", [](Bytes& r) { Put16(r, 92, 0x7000); }},
        {"root longer than its room", [](Bytes& r) { Put16(r, 0, 2100); }},
        {"root shorter than a header", [](Bytes& r) { Put16(r, 0, 4); }},
        {"16-bit tree", [](Bytes& r) { r[4] = 'V'; }},
        {"value past the tree", [](Bytes& r) { Put16(r, 2, 0x4000); }},
        {"room for less than a child's head at the end of its parent",
         [](Bytes& r) {
             const int length = r[0] | r[1] << 8;
             Put16(r, 0, static_cast<std::uint16_t>((length + 3) / 4 * 4 + 2));
         }},
        {"unterminated key",
         [](Bytes& r) {
             std::uint16_t length = static_cast<std::uint16_t>(r[0] | r[1] << 8);
             for (std::size_t i = 6; i < length; i += 2) {
                 Put16(r, i, u'K');
             }
         }},
    };
    for (const Damage& damage : damages) {
        Bytes damaged = resource;
        damage.apply(damaged);
        Block block(damaged);
        EXPECT_FALSE(block.Sound()) << damage.what;
        // Queries on it stay inside the block whatever they answer (the sanitizers watch).
        block.Text("\\StringFileInfo\\040904b0\\FileVersion");
        block.Text("\\");
    }
}

TEST(PeVersionQuery, DepthIsLimited) {
    VersionNode node = TextNode(u"leaf", u"x");
    for (int i = 0; i < 16; ++i) {
        node = VersionNode{u"n", 1, {}, 0, {node}};
    }
    VersionRecipe recipe;
    VersionNode root = VersionTree(recipe);
    root.children = {node};  // 18 levels in all
    EXPECT_FALSE(Block(Serialize(root)).Sound());
    root.children = {node.children.front()};  // 17
    EXPECT_FALSE(Block(Serialize(root)).Sound());
    root.children = {node.children.front().children.front()};  // 16
    EXPECT_TRUE(Block(Serialize(root)).Sound());
}

}  // namespace
