// The diagnostic log of both programs: one time-stamped record per call, appended to
// log/<name>.txt under the working directory.
#pragma once

#include <cstdarg>

#if defined(__MINGW32__)
#define LOBBY_PRINTF_FORMAT(format_index, first_arg) \
    __attribute__((format(gnu_printf, format_index, first_arg)))
#elif defined(__GNUC__)
#define LOBBY_PRINTF_FORMAT(format_index, first_arg) \
    __attribute__((format(printf, format_index, first_arg)))
#else
#define LOBBY_PRINTF_FORMAT(format_index, first_arg)
#endif

// Appends one record "[date][time] [message] [source] [line行]" to log/<logName>.txt. The
// message is `format` expanded with the arguments; texts that come from outside must be passed
// as an argument of "%s", never as the format. Failures are silent: the record is dropped.
void WriteLog(const char* logName, const char* source, int line, const char* format, ...) noexcept
    LOBBY_PRINTF_FORMAT(4, 5);

// Whether a record for `logName` goes to log/<logName>.txt itself: a longer path than the
// limit is cut, and the record then goes to the file that the cut names.
bool LogFileNameFits(const char* logName) noexcept;

namespace log_detail {

// A local calendar time as the record shows it (full year, month 1-12, day 1-31).
struct LogTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

// Where WriteLog takes its time from; tests pass a fixed clock.
using LogClock = LogTime (*)();

// The local clock WriteLog uses.
LogTime LocalClock() noexcept;

// WriteLog with its time source given: reads `clock` once, after the message is formatted.
void WriteLogWithClock(LogClock clock, const char* logName, const char* source, int line,
                       const char* format, va_list args) noexcept;

}  // namespace log_detail
