#include "platform/kernel/local_time.h"

#include "platform/user/clock.h"

#include <ctime>

namespace quill::kernel {

std::int64_t GetSystemTimeMs() {
    return user::GetClock().SystemTimeMs();
}

void GetLocalTime(SYSTEMTIME* time) {
    *time = LocalTimeOf(GetSystemTimeMs());
}

SYSTEMTIME LocalTimeOf(std::int64_t unixMs) {
    // Rounded down to whole seconds, also before 1970, so the milliseconds stay 0-999.
    std::int64_t seconds = unixMs / 1000;
    std::int64_t millis = unixMs % 1000;
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    SYSTEMTIME out{};
    out.wYear = static_cast<WORD>(local.tm_year + 1900);
    out.wMonth = static_cast<WORD>(local.tm_mon + 1);
    out.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    out.wDay = static_cast<WORD>(local.tm_mday);
    out.wHour = static_cast<WORD>(local.tm_hour);
    out.wMinute = static_cast<WORD>(local.tm_min);
    out.wSecond = static_cast<WORD>(local.tm_sec);
    out.wMilliseconds = static_cast<WORD>(millis);
    return out;
}

} // namespace quill::kernel
