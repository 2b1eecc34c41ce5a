#include "shared/WriteLog.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/Files.h"
#include "platform/Paths.h"

namespace log_detail {

namespace {

// Sizes with terminator, as the log has always cut them.
constexpr std::size_t kPathLimit = 260;
constexpr std::size_t kMessageLimit = 1024;
constexpr std::size_t kRecordLimit = 1024;

// The record format; "\xD0\xD0" is 行 in code page 936, the programs' text encoding.
constexpr const char kRecordFormat[] = "[%d-%02d-%02d][%02d:%02d:%02d] [%s] [%s] [%d\xD0\xD0]\n";

// The file has always been written in text mode on Windows, which stores every line feed as
// CR LF. Doing it here gives the same bytes on every platform. Returns the output length;
// `out` must hold twice `length` bytes.
std::size_t ExpandLineBreaks(const char* text, std::size_t length, char* out) {
    std::size_t used = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\n') {
            out[used++] = '\r';
        }
        out[used++] = text[i];
    }
    return used;
}

constexpr std::string_view kLogSuffix = ".txt";

// The log folder's path with its closing separator; empty when the working directory is
// unknown, which would put the log at the file system's root.
std::string LogFolderPrefix() {
    const std::string folder = platform::CurrentFolder();
    if (folder.empty()) {
        return {};
    }
    const char sep = platform::kPathSeparator;
    return folder + sep + "log" + sep;
}

void WriteRecord(LogClock clock, const char* logName, const char* source, int line,
                 const char* format, va_list args) {
    if (logName == nullptr) {
        return;
    }
    // A path over the limit is cut, and the log of a long name goes to a file named by the cut.
    // A cut that reached back into the folder's path would name a file outside the log folder,
    // perhaps one of the program's own: nothing is written then.
    std::string path = LogFolderPrefix();
    if (path.empty() || path.size() >= kPathLimit - 1) {
        return;
    }
    path.append(logName).append(kLogSuffix);
    if (path.size() > kPathLimit - 1) {
        path.resize(kPathLimit - 1);
    }
    platform::CreateFolder("log");

    char message[kMessageLimit] = "";
    if (format != nullptr && std::vsnprintf(message, sizeof message, format, args) < 0) {
        message[0] = '\0';
    }

    const LogTime now = clock();
    char record[kRecordLimit];
    const int wanted =
        std::snprintf(record, sizeof record, kRecordFormat, now.year, now.month, now.day, now.hour,
                      now.minute, now.second, message, source != nullptr ? source : "", line);
    if (wanted < 0) {
        return;
    }
    // A cut record ends where the buffer does, without its line break.
    const std::size_t length = static_cast<std::size_t>(wanted) < sizeof record
                                   ? static_cast<std::size_t>(wanted)
                                   : sizeof record - 1;

    char bytes[2 * kRecordLimit];
    const std::size_t size = ExpandLineBreaks(record, length, bytes);
    platform::AppendToFile(path, bytes, size);
}

}  // namespace

LogTime LocalClock() noexcept {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return LogTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     local.tm_sec};
}

void WriteLogWithClock(LogClock clock, const char* logName, const char* source, int line,
                       const char* format, va_list args) noexcept {
    try {
        WriteRecord(clock, logName, source, line, format, args);
    } catch (...) {
        // Logging never fails its caller; a record that cannot be built is dropped.
    }
}

}  // namespace log_detail

void WriteLog(const char* logName, const char* source, int line, const char* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    log_detail::WriteLogWithClock(log_detail::LocalClock, logName, source, line, format, args);
    va_end(args);
}

bool LogFileNameFits(const char* logName) noexcept {
    try {
        const std::string prefix = log_detail::LogFolderPrefix();
        return logName != nullptr && !prefix.empty() &&
               prefix.size() + std::strlen(logName) + log_detail::kLogSuffix.size() <=
                   log_detail::kPathLimit - 1;
    } catch (...) {
        return false;
    }
}
