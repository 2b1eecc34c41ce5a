#include "fileinfo/PeVersion.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace harbex::fileinfo {

namespace {

constexpr std::uint32_t kVersionType = 16;  // the resource type of version information
constexpr std::uint32_t kVersionName = 1;   // the name every version resource carries
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kMaxTreeDepth = 16;
// Languages tried in order before falling back to the first one.
constexpr std::array<std::uint32_t, 4> kLanguageOrder = {0x0000, 0x0804, 0x0004, 0x0409};

std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool Read16(const ByteSource& file, std::uint64_t offset, std::uint16_t& value) {
    std::uint8_t bytes[2];
    if (!file.ReadAt(offset, bytes, sizeof bytes)) {
        return false;
    }
    value = Le16(bytes);
    return true;
}

bool Read32(const ByteSource& file, std::uint64_t offset, std::uint32_t& value) {
    std::uint8_t bytes[4];
    if (!file.ReadAt(offset, bytes, sizeof bytes)) {
        return false;
    }
    value = Le32(bytes);
    return true;
}

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

// The parts of the PE headers the resource lookup needs.
struct PeLayout {
    std::vector<Section> sections;
    std::uint32_t resourceRva = 0;

    // File offset of an address of the loaded image: inside the raw data of a section.
    std::optional<std::uint64_t> FileOffset(std::uint32_t rva) const {
        for (const Section& section : sections) {
            std::uint64_t start = section.virtualAddress;
            if (rva >= start && rva < start + section.rawSize) {
                return std::uint64_t{section.rawOffset} + (rva - start);
            }
        }
        return std::nullopt;
    }
};

std::optional<PeLayout> ReadPeLayout(const ByteSource& file) {
    std::uint16_t dosMagic = 0;
    std::uint32_t ntOffset = 0;
    if (!Read16(file, 0, dosMagic) || dosMagic != 0x5A4D || !Read32(file, 0x3C, ntOffset)) {
        return std::nullopt;
    }
    std::uint8_t fileHeader[24];  // signature and the COFF file header
    if (!file.ReadAt(ntOffset, fileHeader, sizeof fileHeader) || Le32(fileHeader) != 0x00004550) {
        return std::nullopt;
    }
    std::uint16_t sectionCount = Le16(fileHeader + 6);
    std::uint16_t optionalSize = Le16(fileHeader + 20);
    std::uint64_t optional = std::uint64_t{ntOffset} + sizeof fileHeader;

    std::uint16_t magic = 0;
    if (!Read16(file, optional, magic)) {
        return std::nullopt;
    }
    std::uint32_t countField = 0;  // offset of NumberOfRvaAndSizes in the optional header
    if (magic == 0x10B) {
        countField = 92;
    } else if (magic == 0x20B) {
        countField = 108;
    } else {
        return std::nullopt;
    }
    constexpr std::uint32_t kResourceIndex = 2;
    std::uint32_t resourceEntry = countField + 4 + kResourceIndex * 8;
    std::uint32_t directoryCount = 0;
    if (resourceEntry + 8 > optionalSize || !Read32(file, optional + countField, directoryCount) ||
        directoryCount <= kResourceIndex) {
        return std::nullopt;
    }
    PeLayout layout;
    std::uint32_t resourceSize = 0;
    if (!Read32(file, optional + resourceEntry, layout.resourceRva) ||
        !Read32(file, optional + resourceEntry + 4, resourceSize) || layout.resourceRva == 0) {
        return std::nullopt;
    }

    constexpr std::size_t kSectionHeader = 40;
    std::vector<std::uint8_t> table(std::size_t{sectionCount} * kSectionHeader);
    if (!file.ReadAt(optional + optionalSize, table.data(), table.size())) {
        return std::nullopt;
    }
    layout.sections.reserve(sectionCount);
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::uint8_t* header = table.data() + i * kSectionHeader;
        layout.sections.push_back({Le32(header + 12), Le32(header + 16), Le32(header + 20)});
    }
    return layout;
}

struct DirectoryEntry {
    std::uint32_t name;
    std::uint32_t data;
    bool IsDirectory() const { return (data & kHighBit) != 0; }
    std::uint32_t Offset() const { return data & ~kHighBit; }
};

struct Directory {
    std::uint16_t namedCount = 0;
    std::vector<DirectoryEntry> entries;  // named entries first, then the numbered ones

    // The numbered entry `id` if it is of the wanted kind; like the platform, a match of the
    // wrong kind ends the search.
    std::optional<DirectoryEntry> ById(std::uint32_t id, bool wantDirectory) const {
        for (std::size_t i = namedCount; i < entries.size(); ++i) {
            if (entries[i].name == id) {
                if (entries[i].IsDirectory() != wantDirectory) {
                    return std::nullopt;
                }
                return entries[i];
            }
        }
        return std::nullopt;
    }

    std::optional<DirectoryEntry> First(bool wantDirectory) const {
        for (const DirectoryEntry& entry : entries) {
            if (entry.IsDirectory() == wantDirectory) {
                return entry;
            }
        }
        return std::nullopt;
    }
};

std::optional<Directory> ReadDirectory(const ByteSource& file, std::uint64_t offset) {
    std::uint8_t header[16];
    if (!file.ReadAt(offset, header, sizeof header)) {
        return std::nullopt;
    }
    Directory directory;
    directory.namedCount = Le16(header + 12);
    std::size_t count = std::size_t{directory.namedCount} + Le16(header + 14);
    std::vector<std::uint8_t> raw(count * 8);
    if (!file.ReadAt(offset + sizeof header, raw.data(), raw.size())) {
        return std::nullopt;
    }
    directory.entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        directory.entries.push_back({Le32(raw.data() + i * 8), Le32(raw.data() + i * 8 + 4)});
    }
    return directory;
}

std::uint32_t AlignUp4(std::uint32_t offset) {
    return (offset + 3) & ~3u;
}

// One node of a version tree: its header fields and where its parts lie in the block.
struct Node {
    std::uint32_t offset = 0;
    std::uint32_t end = 0;  // offset + wLength, cut to the parent's end
    std::uint16_t valueLength = 0;
    std::uint16_t type = 0;
    std::uint32_t keyEnd = 0;  // offset of the key's terminating zero
    std::uint32_t valueOffset = 0;
    std::uint32_t valueBytes = 0;
    std::uint32_t children = 0;
};

// Reads the node at `offset` inside [.., limit); nullopt when its header or its key does not
// fit there.
std::optional<Node> ReadNode(std::span<const std::uint8_t> block, std::uint32_t offset,
                             std::uint32_t limit) {
    if (offset > limit || limit - offset < 6) {
        return std::nullopt;
    }
    const std::uint8_t* p = block.data() + offset;
    Node node;
    node.offset = offset;
    std::uint16_t length = Le16(p);
    if (length < 6) {
        return std::nullopt;
    }
    node.end = std::min<std::uint32_t>(offset + length, limit);
    node.valueLength = Le16(p + 2);
    node.type = Le16(p + 4);
    std::uint32_t key = offset + 6;
    while (key + 2 <= node.end && Le16(block.data() + key) != 0) {
        key += 2;
    }
    if (key + 2 > node.end) {
        return std::nullopt;
    }
    node.keyEnd = key;
    node.valueOffset = AlignUp4(key + 2);
    node.valueBytes = node.type != 0 ? 2u * node.valueLength : node.valueLength;
    node.children = AlignUp4(node.valueOffset + node.valueBytes);
    return node;
}

char16_t FoldAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool KeyMatches(std::span<const std::uint8_t> block, const Node& node, std::u16string_view key) {
    if ((node.keyEnd - node.offset - 6) / 2 != key.size()) {
        return false;
    }
    for (std::size_t i = 0; i < key.size(); ++i) {
        char16_t unit = static_cast<char16_t>(Le16(block.data() + node.offset + 6 + 2 * i));
        if (FoldAscii(unit) != FoldAscii(key[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool MemorySource::ReadAt(std::uint64_t offset, void* out, std::size_t size) const {
    if (offset > m_bytes.size() || m_bytes.size() - offset < size) {
        return false;
    }
    if (size != 0) {
        std::memcpy(out, m_bytes.data() + offset, size);
    }
    return true;
}

FileSource::FileSource(const char* fileName) {
    if (fileName == nullptr) {
        return;
    }
    m_stream.open(fileName, std::ios::binary);
    if (!m_stream) {
        return;
    }
    m_stream.seekg(0, std::ios::end);
    std::streamoff end = m_stream.tellg();
    if (!m_stream || end < 0) {
        return;
    }
    m_size = static_cast<std::uint64_t>(end);
    m_open = true;
}

bool FileSource::ReadAt(std::uint64_t offset, void* out, std::size_t size) const {
    if (!m_open || offset > m_size || m_size - offset < size) {
        return false;
    }
    if (size == 0) {
        return true;
    }
    m_stream.clear();
    m_stream.seekg(static_cast<std::streamoff>(offset));
    m_stream.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
    return m_stream.gcount() == static_cast<std::streamsize>(size);
}

std::optional<VersionResource> FindVersionResource(const ByteSource& file) {
    std::optional<PeLayout> layout = ReadPeLayout(file);
    if (!layout) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> root = layout->FileOffset(layout->resourceRva);
    if (!root) {
        return std::nullopt;
    }
    // Exactly three levels (type, name, language), so a directory that points back at an
    // earlier one cannot make the walk go round.
    std::optional<Directory> types = ReadDirectory(file, *root);
    std::optional<DirectoryEntry> type = types ? types->ById(kVersionType, true) : std::nullopt;
    if (!type) {
        return std::nullopt;
    }
    std::optional<Directory> names = ReadDirectory(file, *root + type->Offset());
    std::optional<DirectoryEntry> name = names ? names->ById(kVersionName, true) : std::nullopt;
    if (!name) {
        return std::nullopt;
    }
    std::optional<Directory> languages = ReadDirectory(file, *root + name->Offset());
    if (!languages) {
        return std::nullopt;
    }
    std::optional<DirectoryEntry> language;
    for (std::uint32_t id : kLanguageOrder) {
        if ((language = languages->ById(id, false))) {
            break;
        }
    }
    if (!language && !(language = languages->First(false))) {
        return std::nullopt;
    }

    std::uint8_t dataEntry[8];  // address and size; code page and reserved word follow
    if (!file.ReadAt(*root + language->Offset(), dataEntry, sizeof dataEntry)) {
        return std::nullopt;
    }
    VersionResource resource;
    resource.size = Le32(dataEntry + 4);
    std::optional<std::uint64_t> offset = layout->FileOffset(Le32(dataEntry));
    if (!offset || resource.size == 0 || *offset > file.Size() ||
        file.Size() - *offset < resource.size) {
        return std::nullopt;
    }
    resource.offset = *offset;
    return resource;
}

std::uint32_t ReportedVersionInfoSize(std::uint32_t resourceSize) {
    std::uint64_t size = std::uint64_t{resourceSize} * 2 + 4;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(size, std::numeric_limits<std::uint32_t>::max()));
}

bool CopyVersionInfo(const ByteSource& file, const VersionResource& resource,
                     std::span<std::uint8_t> block) {
    std::size_t count = std::min<std::size_t>(resource.size, block.size());
    if (!file.ReadAt(resource.offset, block.data(), count)) {
        return false;
    }
    static constexpr char kMark[4] = {'F', 'E', '2', 'X'};
    if (count >= 6 && block[4] < 0x20) {  // a Unicode tree (a 16-bit one has text here)
        std::size_t treeLength = Le16(block.data());
        if (block.size() >= treeLength + sizeof kMark) {
            std::memcpy(block.data() + treeLength, kMark, sizeof kMark);
        }
    }
    return true;
}

bool IsSoundVersionBlock(std::span<const std::uint8_t> block) {
    if (block.size() < 6 || block.size() > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    std::uint32_t treeLength = Le16(block.data());
    if (block[4] >= 0x20 || std::uint64_t{treeLength} * 2 + 4 > block.size()) {
        return false;
    }
    struct Pending {
        std::uint32_t offset;
        std::uint32_t limit;
        std::size_t depth;
    };
    std::vector<Pending> pending{{0, treeLength, 1}};
    while (!pending.empty()) {
        Pending item = pending.back();
        pending.pop_back();
        if (item.depth > kMaxTreeDepth) {
            return false;
        }
        std::optional<Node> node = ReadNode(block, item.offset, item.limit);
        if (!node || item.offset + Le16(block.data() + item.offset) > item.limit ||
            node->valueOffset + node->valueBytes > treeLength) {
            return false;
        }
        std::uint32_t child = node->children;
        while (child < node->end) {
            if (child + 6 > node->end) {
                return false;  // the platform would read a child's head past its parent's end
            }
            std::uint16_t length = Le16(block.data() + child);
            if (length == 0) {
                break;  // the platform stops reading children here
            }
            pending.push_back({child, node->end, item.depth + 1});
            child += AlignUp4(length);
        }
    }
    return true;
}

bool QueryVersionValue(std::span<std::uint8_t> block, const char* path, const AnsiCodec& codec,
                       void** value, std::uint32_t* length) {
    if (value == nullptr || block.size() < 6 ||
        block.size() > std::numeric_limits<std::uint32_t>::max() || block[4] >= 0x20) {
        return false;
    }
    std::uint16_t treeLength = Le16(block.data());
    auto blockSize = static_cast<std::uint32_t>(block.size());
    std::uint32_t limit = std::min<std::uint32_t>(treeLength, blockSize);
    std::optional<Node> node = ReadNode(block, 0, limit);
    if (!node) {
        return false;
    }
    std::u16string widePath = codec.fromAnsi(path != nullptr ? path : "");
    std::u16string_view rest = widePath;
    while (!rest.empty()) {
        std::size_t slash = rest.find(u'\\');
        std::u16string_view key = rest.substr(0, slash);
        rest = slash == std::u16string_view::npos ? std::u16string_view{} : rest.substr(slash + 1);
        if (key.empty()) {
            continue;
        }
        std::optional<Node> found;
        std::uint32_t child = node->children;
        while (child < node->end) {
            std::optional<Node> candidate = ReadNode(block, child, node->end);
            if (!candidate) {
                break;
            }
            if (KeyMatches(block, *candidate, key)) {
                found = candidate;
                break;
            }
            child += AlignUp4(Le16(block.data() + child));
        }
        if (!found) {
            return false;
        }
        node = found;
    }

    if (std::uint64_t{node->valueOffset} + node->valueBytes > limit) {
        return false;
    }
    if (node->type == 0) {
        *value = block.data() + node->valueOffset;
        if (length != nullptr) {
            *length = node->valueLength;
        }
        return true;
    }

    // Text: the narrow copy goes behind the tree at the value's own offset, as the platform
    // keeps it, so every text has its own place and stays valid while others are asked for.
    std::u16string wide(node->valueLength, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<char16_t>(Le16(block.data() + node->valueOffset + 2 * i));
    }
    std::string narrow = codec.toAnsi(wide);
    std::uint32_t target = std::uint32_t{treeLength} + 4 + node->valueOffset;
    if (target >= blockSize) {
        return false;
    }
    std::size_t room =
        std::min<std::size_t>(treeLength - node->valueOffset, blockSize - target - 1);
    std::size_t count = std::min(narrow.size(), room);
    std::memcpy(block.data() + target, narrow.data(), count);
    block[target + count] = 0;
    *value = block.data() + target;
    if (length != nullptr) {
        *length = static_cast<std::uint32_t>(count);
    }
    return true;
}

}  // namespace harbex::fileinfo
