// Local (civil) time: the date and time of the user's time zone, read from the installed clock
// (user/clock.h), so that under a test's virtual clock every time stamp the library writes (log
// lines, daily log names, a storage file's save time) is the virtual time.
//
// The time zone is the process's (TZ, else the system's). Thread-safe.
#pragma once

#include <cstdint>

namespace quill::kernel {

using WORD = std::uint16_t;

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;     // 1-12
    WORD wDayOfWeek; // 0 = Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// The installed clock's wall-clock time: milliseconds since 1970-01-01 00:00 UTC.
std::int64_t GetSystemTimeMs();
// The installed clock's time as local time.
void GetLocalTime(SYSTEMTIME* time);
// The wall-clock time `unixMs` (milliseconds since 1970-01-01 UTC) as local time.
SYSTEMTIME LocalTimeOf(std::int64_t unixMs);

} // namespace quill::kernel
