#include "PeSynth.h"

#include <algorithm>

namespace fileinfo_test {

namespace {

void Append16(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Append32(Bytes& bytes, std::uint32_t value) {
    Append16(bytes, static_cast<std::uint16_t>(value));
    Append16(bytes, static_cast<std::uint16_t>(value >> 16));
}

void Pad4(Bytes& bytes) {
    while (bytes.size() % 4 != 0) {
        bytes.push_back(0);
    }
}

std::size_t AlignUp(std::size_t value, std::size_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

}  // namespace

void Put16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    bytes.at(offset) = static_cast<std::uint8_t>(value);
    bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void Put32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    Put16(bytes, offset, static_cast<std::uint16_t>(value));
    Put16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

VersionNode TextNode(const std::u16string& key, const std::u16string& text) {
    VersionNode node{key, 1, {}, static_cast<std::uint16_t>(text.size() + 1), {}};
    for (char16_t c : text) {
        Append16(node.value, c);
    }
    Append16(node.value, 0);
    return node;
}

Bytes Serialize(const VersionNode& node) {
    Bytes out(6, 0);
    for (char16_t c : node.key) {
        Append16(out, c);
    }
    Append16(out, 0);
    Pad4(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) {
        Pad4(out);
        Bytes bytes = Serialize(child);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    Put16(out, 0, static_cast<std::uint16_t>(out.size()));
    Put16(out, 2, node.valueLength);
    Put16(out, 4, node.type);
    return out;
}

VersionNode VersionTree(const VersionRecipe& recipe) {
    VersionNode root{u"VS_VERSION_INFO", 0, {}, 52, {}};
    for (std::uint32_t field :
         {0xFEEF04BDu, 0x00010000u, recipe.fileMS, recipe.fileLS, recipe.productMS,
          recipe.productLS, 0x3Fu, 0u, 0x00040004u, 2u, 0u, 0u, 0u}) {
        Append32(root.value, field);
    }
    if (!recipe.tables.empty()) {
        VersionNode stringInfo{u"StringFileInfo", 1, {}, 0, {}};
        for (const StringTable& table : recipe.tables) {
            VersionNode tableNode{table.name, 1, {}, 0, {}};
            for (const auto& [key, text] : table.strings) {
                tableNode.children.push_back(TextNode(key, text));
            }
            stringInfo.children.push_back(tableNode);
        }
        root.children.push_back(stringInfo);
    }
    if (!recipe.translations.empty()) {
        VersionNode translation{u"Translation", 0, {}, 0, {}};
        for (std::uint32_t entry : recipe.translations) {
            Append32(translation.value, entry);
        }
        translation.valueLength = static_cast<std::uint16_t>(translation.value.size());
        root.children.push_back({u"VarFileInfo", 1, {}, 0, {translation}});
    }
    return root;
}

Bytes VersionBlock(const VersionRecipe& recipe) {
    return Serialize(VersionTree(recipe));
}

Bytes BuildPe(const PeRecipe& recipe) {
    // The resource section: type, name and language directories, data entries, then data.
    std::vector<ResourceEntry> resources = recipe.resources;
    std::sort(
        resources.begin(), resources.end(),
        [](const ResourceEntry& a, const ResourceEntry& b) { return a.language < b.language; });
    Bytes rsrc;
    auto directory = [&rsrc](std::uint16_t idCount) {
        for (int i = 0; i < 12; ++i) {
            rsrc.push_back(0);
        }
        Append16(rsrc, 0);
        Append16(rsrc, idCount);
    };
    directory(1);
    Append32(rsrc, recipe.typeId);
    Append32(rsrc, 0x80000000u | kNameDirectory);
    directory(1);
    Append32(rsrc, recipe.nameId);
    Append32(rsrc, 0x80000000u | kLanguageDirectory);
    directory(static_cast<std::uint16_t>(resources.size()));
    std::size_t dataEntries = kLanguageDirectory + 16 + 8 * resources.size();
    for (std::size_t i = 0; i < resources.size(); ++i) {
        Append32(rsrc, resources[i].language);
        Append32(rsrc, static_cast<std::uint32_t>(dataEntries + 16 * i));
    }
    std::size_t data = AlignUp(dataEntries + 16 * resources.size(), 8);
    for (const ResourceEntry& resource : resources) {
        Append32(rsrc, static_cast<std::uint32_t>(kRsrcRva + data));
        Append32(rsrc, static_cast<std::uint32_t>(resource.data.size()));
        Append32(rsrc, 0);
        Append32(rsrc, 0);
        data = AlignUp(data + resource.data.size(), 8);
    }
    for (const ResourceEntry& resource : resources) {
        while (rsrc.size() % 8 != 0) {
            rsrc.push_back(0);
        }
        rsrc.insert(rsrc.end(), resource.data.begin(), resource.data.end());
    }
    std::size_t rsrcRaw = AlignUp(std::max<std::size_t>(rsrc.size(), 1), 0x200);

    Bytes pe(kRsrcFileOffset + rsrcRaw, 0);
    pe[0] = 'M';
    pe[1] = 'Z';
    Put32(pe, 0x3C, kNtOffset);
    Put32(pe, kNtOffset, 0x00004550);
    const std::size_t file = kNtOffset + 4;
    const std::uint16_t optionalSize = recipe.pe32 ? 224 : 240;
    Put16(pe, file, recipe.pe32 ? 0x014C : 0x8664);
    Put16(pe, file + 2, 2);
    Put16(pe, file + 16, optionalSize);
    Put16(pe, file + 18, recipe.pe32 ? 0x2102 : 0x2022);

    const std::size_t opt = file + 20;
    Put16(pe, opt, recipe.pe32 ? 0x10B : 0x20B);
    pe[opt + 2] = 2;
    Put32(pe, opt + 4, 0x200);
    Put32(pe, opt + 8, static_cast<std::uint32_t>(rsrcRaw));
    Put32(pe, opt + 20, 0x1000);
    if (recipe.pe32) {
        Put32(pe, opt + 24, 0x2000);
        Put32(pe, opt + 28, 0x10000000);
    } else {
        Put32(pe, opt + 24, 0x80000000u);
        Put32(pe, opt + 28, 0x1);  // image base 0x180000000
    }
    Put32(pe, opt + 32, 0x1000);
    Put32(pe, opt + 36, 0x200);
    Put16(pe, opt + 40, 6);
    Put16(pe, opt + 48, 6);
    Put32(pe, opt + 56, static_cast<std::uint32_t>(kRsrcRva + AlignUp(rsrc.size(), 0x1000)));
    Put32(pe, opt + 60, 0x200);
    Put16(pe, opt + 68, 2);
    const std::size_t stack = opt + 72;
    if (recipe.pe32) {
        Put32(pe, stack, 0x100000);
        Put32(pe, stack + 4, 0x1000);
        Put32(pe, stack + 8, 0x100000);
        Put32(pe, stack + 12, 0x1000);
    } else {
        Put32(pe, stack, 0x100000);
        Put32(pe, stack + 8, 0x1000);
        Put32(pe, stack + 16, 0x100000);
        Put32(pe, stack + 24, 0x1000);
    }
    const std::size_t count = opt + (recipe.pe32 ? 92 : 108);
    Put32(pe, count, 16);
    Put32(pe, count + 4 + 2 * 8, kRsrcRva);
    Put32(pe, count + 4 + 2 * 8 + 4, static_cast<std::uint32_t>(rsrc.size()));

    auto section = [&pe](std::size_t at, const char* name, std::uint32_t virtualSize,
                         std::uint32_t rva, std::uint32_t rawSize, std::uint32_t rawOffset,
                         std::uint32_t flags) {
        for (int i = 0; name[i] != 0; ++i) {
            pe[at + i] = static_cast<std::uint8_t>(name[i]);
        }
        Put32(pe, at + 8, virtualSize);
        Put32(pe, at + 12, rva);
        Put32(pe, at + 16, rawSize);
        Put32(pe, at + 20, rawOffset);
        Put32(pe, at + 36, flags);
    };
    const std::size_t sections = opt + optionalSize;
    section(sections, ".text", 1, 0x1000, 0x200, 0x200, 0x60000020);
    section(sections + 40, ".rsrc", static_cast<std::uint32_t>(rsrc.size()), kRsrcRva,
            static_cast<std::uint32_t>(rsrcRaw), kRsrcFileOffset, 0x40000040);
    pe[0x200] = 0xC3;  // ret
    std::copy(rsrc.begin(), rsrc.end(), pe.begin() + kRsrcFileOffset);
    return pe;
}

Bytes BuildPe(const Bytes& resource) {
    PeRecipe recipe;
    recipe.resources.push_back({0x0409, resource});
    return BuildPe(recipe);
}

}  // namespace fileinfo_test
