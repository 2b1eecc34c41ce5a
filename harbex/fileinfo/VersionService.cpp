#include "fileinfo/VersionService.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fileinfo/PeVersion.h"
#include "platform/CodePage.h"

namespace harbex::fileinfo {

namespace {

// Whether [value, value + size) lies in the block.
bool InBlock(std::span<unsigned char> block, const void* value, std::size_t size) {
    auto start = reinterpret_cast<std::uintptr_t>(block.data());
    auto p = reinterpret_cast<std::uintptr_t>(value);
    return p >= start && p - start <= block.size() && block.size() - (p - start) >= size;
}

std::uint32_t PortableInfoSize(const char* fileName) {
    FileSource file(fileName);
    std::optional<VersionResource> resource = FindVersionResource(file);
    return resource ? ReportedVersionInfoSize(resource->size) : 0;
}

bool PortableInfo(const char* fileName, std::uint32_t capacity, void* block) {
    FileSource file(fileName);
    std::optional<VersionResource> resource = FindVersionResource(file);
    return resource &&
           CopyVersionInfo(file, *resource, {static_cast<std::uint8_t*>(block), capacity});
}

bool PortableQuery(void* block, std::uint32_t capacity, const char* path, void** value,
                   std::uint32_t* length) {
    // The platform's service converts in the ANSI code page, and so do we.
    static constexpr AnsiCodec kAnsi{&platform::Utf16ToAnsi, &platform::AnsiToUtf16};
    return QueryVersionValue({static_cast<std::uint8_t*>(block), capacity}, path, kAnsi, value,
                             length);
}

}  // namespace

const VersionService& PortableVersionService() {
    static constexpr VersionService kService{&PortableInfoSize, &PortableInfo, &PortableQuery};
    return kService;
}

void ResetVersionState(const VersionState& state) {
    state.langCharset = 0;
    state.infoSize = 0;
    state.fixed = nullptr;
    std::fill(state.block.begin(), state.block.end(), static_cast<unsigned char>(0));
}

bool OpenVersionFile(const VersionService& service, const char* fileName,
                     const VersionState& state) {
    ResetVersionState(state);
    auto capacity = static_cast<std::uint32_t>(state.block.size());
    if (fileName == nullptr) {
        return false;
    }
    std::uint32_t size = service.infoSize(fileName);
    if (size == 0 || size > capacity) {
        return false;
    }
    state.infoSize = size;
    // The tree is checked before any query walks it, so that a hostile file cannot lead a
    // query outside the block.
    if (!service.info(fileName, capacity, state.block.data()) ||
        !IsSoundVersionBlock(state.block.first(size))) {
        ResetVersionState(state);
        return false;
    }

    void* value = nullptr;
    std::uint32_t length = 0;
    if (service.query(state.block.data(), capacity, "\\VarFileInfo\\Translation", &value,
                      &length) &&
        length >= 4 && InBlock(state.block, value, 4)) {
        unsigned char entry[4];
        std::memcpy(entry, value, sizeof entry);
        std::uint32_t language = entry[0] | (entry[1] << 8);
        std::uint32_t codePage = entry[2] | (entry[3] << 8);
        state.langCharset = language << 16 | codePage;
    }

    value = nullptr;
    length = 0;
    if (!service.query(state.block.data(), capacity, "\\", &value, &length) ||
        length != sizeof(tagFixedFileInfo) || !InBlock(state.block, value, length) ||
        reinterpret_cast<std::uintptr_t>(value) % alignof(tagFixedFileInfo) != 0) {
        ResetVersionState(state);
        return false;
    }
    state.fixed = static_cast<tagFixedFileInfo*>(value);
    return true;
}

const char* QueryVersionString(const VersionService& service, const VersionState& state,
                               const char* valueName) {
    if (state.fixed == nullptr || valueName == nullptr) {
        return nullptr;
    }
    char path[128];
    int written = std::snprintf(path, sizeof path, "\\StringFileInfo\\%08lx\\%s",
                                static_cast<unsigned long>(state.langCharset), valueName);
    if (written < 0 || static_cast<std::size_t>(written) >= sizeof path) {
        return nullptr;
    }
    void* value = nullptr;
    std::uint32_t length = 0;
    if (!service.query(state.block.data(), static_cast<std::uint32_t>(state.block.size()), path,
                       &value, &length) ||
        !InBlock(state.block, value, 1)) {
        return nullptr;
    }
    // The caller reads up to a terminator, which must lie inside the block.
    auto* text = static_cast<const char*>(value);
    std::size_t room = static_cast<std::size_t>(state.block.data() + state.block.size() -
                                                static_cast<const unsigned char*>(value));
    if (std::memchr(text, 0, room) == nullptr) {
        return nullptr;
    }
    return text;
}

}  // namespace harbex::fileinfo
