// Window timers on Windows: the system's, which post WM_TIMER to the thread that set them. A timer
// procedure is called through one entry that holds its exceptions at the system's boundary, as
// the window procedures' entry does (win32/window_entry.h).
#include "platform/user/timer.h"

#include "platform/user/win32/user_system.h"
#include "platform/user/win32/window_entry.h"

#include <map>
#include <mutex>
#include <utility>

namespace quill::user {

namespace {

struct TTimerProcs {
    std::mutex Lock;
    std::map<std::pair<::HWND, ::UINT_PTR>, TIMERPROC> Procs;
};

TTimerProcs& TimerProcs() {
    static TTimerProcs* procs = new TTimerProcs; // outlives threads that end during exit
    return *procs;
}

void CALLBACK TimerEntry(::HWND hwnd, ::UINT message, ::UINT_PTR id, ::DWORD time) {
    TIMERPROC proc = nullptr;
    {
        TTimerProcs& timers = TimerProcs();
        std::lock_guard guard(timers.Lock);
        const auto it = timers.Procs.find({hwnd, id});
        if (it == timers.Procs.end()) return;
        proc = it->second;
    }
    try {
        proc(win32::Ours(hwnd), message, id, time);
    } catch (...) {
        win32::KeepFailure(std::current_exception());
    }
}

} // namespace

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC timerProc) {
    TTimerProcs& timers = TimerProcs();
    std::lock_guard guard(timers.Lock);
    const ::UINT_PTR result =
        ::SetTimer(win32::Sys(hwnd), id, elapseMs, timerProc ? &TimerEntry : nullptr);
    if (!result) return 0;
    const std::pair key{win32::Sys(hwnd), hwnd ? id : result};
    if (timerProc)
        timers.Procs[key] = timerProc;
    else
        timers.Procs.erase(key);
    return result;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    TTimerProcs& timers = TimerProcs();
    std::lock_guard guard(timers.Lock);
    if (!::KillTimer(win32::Sys(hwnd), id)) return FALSE;
    timers.Procs.erase({win32::Sys(hwnd), id});
    return TRUE;
}

} // namespace quill::user
