// The little the capture needs from the operating system beyond the platform layer.
#pragma once

#include <string>

namespace ostrin {

struct LocalTime {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

LocalTime NowLocal();

// Whether anything (file or folder) exists at the ANSI path.
bool PathExists(const std::string& ansiPath);

}  // namespace ostrin
