#include <string>

#include "fileinfo/VersionService.h"
#include "platform/CodePage.h"

namespace harbex::fileinfo {

namespace {

// No version service on this platform: the file's resources are read directly. File names
// arrive in the ANSI code page and the file system takes UTF-8.
std::uint32_t InfoSize(const char* fileName) {
    std::string path = platform::AnsiToUtf8(fileName);
    return PortableVersionService().infoSize(path.c_str());
}

bool Info(const char* fileName, std::uint32_t capacity, void* block) {
    std::string path = platform::AnsiToUtf8(fileName);
    return PortableVersionService().info(path.c_str(), capacity, block);
}

}  // namespace

const VersionService& PlatformVersionService() {
    static const VersionService kService{&InfoSize, &Info, PortableVersionService().query};
    return kService;
}

}  // namespace harbex::fileinfo
