// Writes minimal PE libraries that carry a given version resource, for the reader's tests and
// the fuzz corpus.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fileinfo_test {

using Bytes = std::vector<std::uint8_t>;

// One node of a version tree as the resource compilers write it.
struct VersionNode {
    std::u16string key;
    std::uint16_t type = 0;  // 1: the value is text, its length counted in characters
    Bytes value;
    std::uint16_t valueLength = 0;
    std::vector<VersionNode> children;
};

VersionNode TextNode(const std::u16string& key, const std::u16string& text);
Bytes Serialize(const VersionNode& node);

struct StringTable {
    std::u16string name;  // e.g. u"040904b0"
    std::vector<std::pair<std::u16string, std::u16string>> strings;
};

struct VersionRecipe {
    std::uint32_t fileMS = 0x00010002, fileLS = 0x00030004;
    std::uint32_t productMS = 0x00050006, productLS = 0x00070008;
    // Each entry as stored: language in the low half, code page in the high half. Empty
    // means no VarFileInfo block at all.
    std::vector<std::uint32_t> translations = {0x04B00409};
    std::vector<StringTable> tables;
};

VersionNode VersionTree(const VersionRecipe& recipe);
Bytes VersionBlock(const VersionRecipe& recipe);

struct ResourceEntry {
    std::uint16_t language = 0x0409;
    Bytes data;
};

struct PeRecipe {
    bool pe32 = false;  // PE32 instead of PE32+
    std::uint32_t typeId = 16;
    std::uint32_t nameId = 1;
    std::vector<ResourceEntry> resources;
};

// Where the builder puts things, for tests that damage a file on purpose.
inline constexpr std::size_t kNtOffset = 0x40;
inline constexpr std::size_t kRsrcFileOffset = 0x400;
inline constexpr std::uint32_t kRsrcRva = 0x2000;
// Inside the resource section: the type, name and language directories, then data entries.
inline constexpr std::size_t kNameDirectory = 24;
inline constexpr std::size_t kLanguageDirectory = 48;

Bytes BuildPe(const PeRecipe& recipe);

// A library with one resource in language 0x0409.
Bytes BuildPe(const Bytes& resource);

void Put16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void Put32(Bytes& bytes, std::size_t offset, std::uint32_t value);

}  // namespace fileinfo_test
