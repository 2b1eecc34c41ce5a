#include <windows.h>

#include <cstddef>

#include "fileinfo/VersionService.h"

namespace harbex::fileinfo {

namespace {

// Callers may treat our fixed record as the platform's.
#define HARBEX_SAME_FIELD(field) \
    static_assert(offsetof(tagFixedFileInfo, field) == offsetof(VS_FIXEDFILEINFO, field))
static_assert(sizeof(tagFixedFileInfo) == sizeof(VS_FIXEDFILEINFO));
HARBEX_SAME_FIELD(dwSignature);
HARBEX_SAME_FIELD(dwStrucVersion);
HARBEX_SAME_FIELD(dwFileVersionMS);
HARBEX_SAME_FIELD(dwFileVersionLS);
HARBEX_SAME_FIELD(dwProductVersionMS);
HARBEX_SAME_FIELD(dwProductVersionLS);
HARBEX_SAME_FIELD(dwFileFlagsMask);
HARBEX_SAME_FIELD(dwFileFlags);
HARBEX_SAME_FIELD(dwFileOS);
HARBEX_SAME_FIELD(dwFileType);
HARBEX_SAME_FIELD(dwFileSubtype);
HARBEX_SAME_FIELD(dwFileDateMS);
HARBEX_SAME_FIELD(dwFileDateLS);
#undef HARBEX_SAME_FIELD

std::uint32_t InfoSize(const char* fileName) {
    DWORD handle = 0;
    return GetFileVersionInfoSizeA(fileName, &handle);
}

bool Info(const char* fileName, std::uint32_t capacity, void* block) {
    return GetFileVersionInfoA(fileName, 0, capacity, block) != FALSE;
}

bool Query(void* block, std::uint32_t, const char* path, void** value, std::uint32_t* length) {
    void* found = nullptr;
    UINT foundLength = 0;
    if (!VerQueryValueA(block, path, &found, &foundLength)) {
        return false;
    }
    *value = found;
    *length = foundLength;
    return true;
}

}  // namespace

const VersionService& PlatformVersionService() {
    static constexpr VersionService kService{&InfoSize, &Info, &Query};
    return kService;
}

}  // namespace harbex::fileinfo
