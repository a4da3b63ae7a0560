// The process's clock on Windows: the system's tick count and time of day, and the slot of the
// installed clock, which on Windows supplies only the wall-clock time (clock.h).
#include "platform/user/clock.h"

#include "platform/user/win32/user_system.h"

#include <chrono>
#include <limits>

namespace quill::user {

namespace {

TMonotonicClock& Monotonic() {
    static TMonotonicClock clock;
    return clock;
}

std::atomic<TClock*> gClock{nullptr};

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kUnixEpochInFileTime = 116444736000000000;

} // namespace

std::uint64_t TMonotonicClock::NowMs() {
    return ::GetTickCount64();
}

void TMonotonicClock::WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                                std::uint64_t deadlineMs) {
    if (deadlineMs == std::numeric_limits<std::uint64_t>::max()) {
        wake.wait(lock);
        return;
    }
    const std::uint64_t now = NowMs();
    if (deadlineMs > now) wake.wait_for(lock, std::chrono::milliseconds(deadlineMs - now));
}

void TMonotonicClock::Sleep(DWORD ms) {
    ::Sleep(ms);
}

std::int64_t TMonotonicClock::SystemTimeMs() {
    ::FILETIME time{};
    ::GetSystemTimeAsFileTime(&time);
    const std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (ticks - kUnixEpochInFileTime) / 10000;
}

TClock& GetClock() {
    TClock* clock = gClock.load();
    return clock ? *clock : Monotonic();
}

TClock* SetClock(TClock* clock) {
    TClock* previous = gClock.exchange(clock);
    return previous ? previous : &Monotonic();
}

// The system's timers and message times run on the tick count: so does everything that compares
// with them.
DWORD GetTickCount() {
    return ::GetTickCount();
}
std::uint64_t GetTickCount64() {
    return ::GetTickCount64();
}
void Sleep(DWORD ms) {
    ::Sleep(ms);
}

} // namespace quill::user
