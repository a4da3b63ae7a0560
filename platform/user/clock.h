// The clock of the user services: time in milliseconds for message times, timers, GetTickCount
// and Sleep, and the wall-clock time behind the local time of log lines and saved files
// (kernel/local_time.h).
//
// The process uses one clock at a time. Normally it is the monotonic clock. Tests install a
// TVirtualClock and advance it by hand, so no test waits for real time: while the virtual clock is
// installed, a thread that has nothing to do until a deadline (GetMessage waiting for a timer,
// Sleep) moves the clock forward to that deadline instead of waiting. Waiting without a deadline
// (for a message another thread will post) blocks for real in both clocks.
//
// On Windows the user services' time is the system's: message times, timers, waits, GetTickCount,
// GetTickCount64 and Sleep never consult the installed clock (the system's timers could not follow
// it). The default clock there reads the system's tick count and GetSystemTimeAsFileTime; an
// installed clock still supplies the wall-clock time behind local time, so a test can date what
// the library writes, but a virtual clock does not move timers or message waits.
//
// SetClock is meant for test set-up, with no message retrieval running on other threads; the
// caller keeps the installed clock alive until it installs another (nil restores the monotonic
// clock). Everything else is thread-safe.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace quill::user {

using DWORD = std::uint32_t;

class TClock {
  public:
    virtual ~TClock();
    // Milliseconds since an arbitrary start; never goes back.
    virtual std::uint64_t NowMs() = 0;
    // Called with `lock` held by a waiter that has nothing to do until `deadlineMs` (UINT64_MAX:
    // no deadline) unless `wake` is notified. Returns when woken, when the deadline has passed, or
    // spuriously; the caller re-examines its state.
    virtual void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                           std::uint64_t deadlineMs) = 0;
    // Lets `ms` milliseconds pass on the calling thread.
    virtual void Sleep(DWORD ms) = 0;
    // Wall-clock time: milliseconds since 1970-01-01 00:00 UTC. May step (the system's time is
    // set); moves with NowMs otherwise.
    virtual std::int64_t SystemTimeMs() = 0;
};

class TMonotonicClock : public TClock {
  public:
    std::uint64_t NowMs() override;
    void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   std::uint64_t deadlineMs) override;
    void Sleep(DWORD ms) override;
    std::int64_t SystemTimeMs() override;
};

// A clock that moves only when told: by Advance/SetNow, or when a waiter with a deadline jumps to
// it. Starts at `startMs`. Its wall-clock time moves with it from the real time of its making,
// so a test that does not care still dates its files today; SetSystemTime puts it at a chosen
// moment.
class TVirtualClock : public TClock {
  public:
    explicit TVirtualClock(std::uint64_t startMs = 0);
    std::uint64_t NowMs() override;
    void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                   std::uint64_t deadlineMs) override;
    void Sleep(DWORD ms) override;
    std::int64_t SystemTimeMs() override;
    void Advance(std::uint64_t ms);
    // Moves to `ms` if that is later than now; the clock never goes back.
    void SetNow(std::uint64_t ms);
    // Makes the wall-clock time `unixMs` (milliseconds since 1970-01-01 UTC) now; it moves on
    // with the clock.
    void SetSystemTime(std::int64_t unixMs);

  private:
    // Read on every message and timer check: an atomic, not a lock.
    std::atomic<std::uint64_t> FNow;
    // The wall-clock time at NowMs() == 0.
    std::atomic<std::int64_t> FSystemBase;
};

// The installed clock (the monotonic clock unless a test installed another).
TClock& GetClock();
// Installs `clock` (nil: the monotonic clock). Returns the previous one.
TClock* SetClock(TClock* clock);

// Milliseconds of the installed clock, wrapping at 2^32 as the platform's tick count does.
DWORD GetTickCount();
std::uint64_t GetTickCount64();
void Sleep(DWORD ms);

} // namespace quill::user
