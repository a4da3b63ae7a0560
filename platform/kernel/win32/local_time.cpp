// The Windows side of local_time.h: the wall-clock time comes from the installed clock as on Linux
// (normally the system's clock), and the system's time-zone rules turn it into local time.
#include "platform/kernel/local_time.h"

#include "platform/user/clock.h"

#include <windows.h>

#include <cstring>

namespace quill::kernel {

namespace {
// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kUnixEpochInFileTime = 116444736000000000LL;
} // namespace

std::int64_t GetSystemTimeMs() {
    return user::GetClock().SystemTimeMs();
}

void GetLocalTime(SYSTEMTIME* time) {
    *time = LocalTimeOf(GetSystemTimeMs());
}

SYSTEMTIME LocalTimeOf(std::int64_t unixMs) {
    const std::int64_t ticks = kUnixEpochInFileTime + unixMs * 10000;
    FILETIME utc{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
    ::SYSTEMTIME universal{}, local{};
    if (ticks < 0 || !::FileTimeToSystemTime(&utc, &universal) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return SYSTEMTIME{1601, 1, 1, 1, 0, 0, 0, 0};
    static_assert(sizeof(SYSTEMTIME) == sizeof(::SYSTEMTIME));
    SYSTEMTIME out;
    static_cast<void>(std::memcpy(&out, &local, sizeof out));
    return out;
}

} // namespace quill::kernel
