#include <sys/stat.h>

#include <ctime>

#include "OstrinSystem.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"

namespace ostrin {

LocalTime NowLocal() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    if (localtime_r(&now, &parts) == nullptr) {
        return LocalTime{};
    }
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

bool PathExists(const std::string& ansiPath) {
    struct stat info {};
    return ::stat(platform::ResolvePathCase(platform::AnsiToUtf8(ansiPath)).c_str(), &info) == 0;
}

}  // namespace ostrin
