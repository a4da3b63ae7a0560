// The process's clock on Linux (the C++ steady and system clocks) and the slot of the installed
// clock, which every user service asks for the time.
#include "platform/user/clock.h"

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

namespace quill::user {

namespace {
using Steady = std::chrono::steady_clock;

const Steady::time_point& Epoch() {
    static const Steady::time_point epoch = Steady::now();
    return epoch;
}

TMonotonicClock& Monotonic() {
    static TMonotonicClock clock;
    return clock;
}

std::atomic<TClock*> gClock{nullptr};
} // namespace

std::uint64_t TMonotonicClock::NowMs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - Epoch()).count());
}

void TMonotonicClock::WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                                std::uint64_t deadlineMs) {
    if (deadlineMs == std::numeric_limits<std::uint64_t>::max()) {
        wake.wait(lock);
        return;
    }
    wake.wait_until(lock, Epoch() + std::chrono::milliseconds(deadlineMs));
}

void TMonotonicClock::Sleep(DWORD ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t TMonotonicClock::SystemTimeMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TClock& GetClock() {
    TClock* clock = gClock.load();
    return clock ? *clock : Monotonic();
}

TClock* SetClock(TClock* clock) {
    TClock* previous = gClock.exchange(clock);
    return previous ? previous : &Monotonic();
}

DWORD GetTickCount() {
    return static_cast<DWORD>(GetClock().NowMs());
}
std::uint64_t GetTickCount64() {
    return GetClock().NowMs();
}
void Sleep(DWORD ms) {
    GetClock().Sleep(ms);
}

} // namespace quill::user
