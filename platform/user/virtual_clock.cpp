// The clock interface and the virtual clock that tests advance by hand: the same on every system.
// The system's own clock and the installed-clock slot are in clock.cpp (win32/clock.cpp).
#include "platform/user/clock.h"

#include <limits>

namespace quill::user {

TClock::~TClock() = default;

TVirtualClock::TVirtualClock(std::uint64_t startMs)
    : FNow(startMs),
      FSystemBase(TMonotonicClock().SystemTimeMs() - static_cast<std::int64_t>(startMs)) {}

std::uint64_t TVirtualClock::NowMs() {
    return FNow.load();
}

void TVirtualClock::WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                              std::uint64_t deadlineMs) {
    if (deadlineMs == std::numeric_limits<std::uint64_t>::max()) {
        wake.wait(lock);
        return;
    }
    // Nothing can happen before the deadline but what another thread posts, and tests drive
    // time by hand: jump.
    SetNow(deadlineMs);
}

void TVirtualClock::Sleep(DWORD ms) {
    Advance(ms);
}

std::int64_t TVirtualClock::SystemTimeMs() {
    return FSystemBase.load() + static_cast<std::int64_t>(FNow.load());
}

void TVirtualClock::SetSystemTime(std::int64_t unixMs) {
    FSystemBase.store(unixMs - static_cast<std::int64_t>(FNow.load()));
}

void TVirtualClock::Advance(std::uint64_t ms) {
    FNow.fetch_add(ms);
}

void TVirtualClock::SetNow(std::uint64_t ms) {
    std::uint64_t now = FNow.load();
    while (ms > now && !FNow.compare_exchange_weak(now, ms)) {
    }
}

} // namespace quill::user
