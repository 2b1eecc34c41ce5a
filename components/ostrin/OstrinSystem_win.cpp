#include <windows.h>

#include "OstrinSystem.h"

namespace ostrin {

LocalTime NowLocal() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

bool PathExists(const std::string& ansiPath) {
    return GetFileAttributesA(ansiPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace ostrin
