// The version-information service the reader is built on, and the reader's algorithm over it.
// Windows has the platform's service; the portable one (over PeVersion) serves Linux and lets
// the Windows tests hold both against each other with the very same algorithm.
#pragma once

#include <cstdint>
#include <span>

#include "harbex/WinFileInfo.h"

namespace harbex::fileinfo {

struct VersionService {
    // Size of the file's version information as the service reports it; 0 when there is none.
    std::uint32_t (*infoSize)(const char* fileName);
    // Copies the version information into `block` of `capacity` bytes.
    bool (*info)(const char* fileName, std::uint32_t capacity, void* block);
    // Looks `path` up in a block that `info` filled.
    bool (*query)(void* block, std::uint32_t capacity, const char* path, void** value,
                  std::uint32_t* length);
};

const VersionService& PlatformVersionService();
// Over PeVersion: file names as the file system takes them, texts in the ANSI code page.
const VersionService& PortableVersionService();

// The reader's state, as the members of CWinFileInfo hold it.
struct VersionState {
    std::uint32_t& langCharset;
    std::uint32_t& infoSize;
    std::span<unsigned char> block;
    tagFixedFileInfo*& fixed;
};

void ResetVersionState(const VersionState& state);

// Loads the version block of `fileName`; on any failure the state is left reset.
bool OpenVersionFile(const VersionService& service, const char* fileName,
                     const VersionState& state);

// The narrow text of `valueName` in the string table of the state's translation, or null.
const char* QueryVersionString(const VersionService& service, const VersionState& state,
                               const char* valueName);

}  // namespace harbex::fileinfo
