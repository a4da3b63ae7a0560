#include "platform/user/timer.h"

#include "platform/kernel/last_error.h"
#include "platform/user/clock.h"
#include "platform/user/user_state_impl.h"

#include <algorithm>

namespace quill::user {

using namespace detail;

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC timerProc) {
    if (hwnd) {
        const DWORD owner = ThreadOfWindow(hwnd);
        if (!owner) {
            kernel::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        // WM_TIMER reaches the window procedure on the thread that set the timer: that must be
        // the window's own thread.
        if (owner != GetCurrentThreadId()) {
            kernel::SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
    }
    const UINT elapse = std::clamp(elapseMs, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    TMessageQueue* const queue = &ThisQueue();
    UINT_PTR newId = 0;
    if (!hwnd) {
        TUserState& state = State();
        std::lock_guard guard(state.Lock);
        newId = ++state.NextTimerId;
    }
    std::lock_guard guard(queue->Lock);
    const std::uint64_t due = GetClock().NowMs() + elapse;
    for (TTimer& timer : queue->Timers) {
        if (timer.Hwnd == hwnd && timer.Id == id && (hwnd || id != 0)) {
            timer.Elapse = elapse;
            timer.Proc = timerProc;
            timer.Due = due;
            queue->Wake.notify_all();
            NoteTimerDue(*queue, due);
            return hwnd ? (id ? id : 1) : id;
        }
    }
    const UINT_PTR timerId = hwnd ? id : newId;
    queue->Timers.push_back({hwnd, timerId, elapse, timerProc, due});
    queue->Wake.notify_all();
    NoteTimerDue(*queue, due);
    return hwnd ? (id ? id : 1) : timerId;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    // A window's timer lives in the queue of the thread that set it: usually the caller's, else
    // the window's own thread.
    auto tryQueue = [&](TMessageQueue* queue) {
        if (!queue) return false;
        std::lock_guard guard(queue->Lock);
        const auto before = queue->Timers.size();
        std::erase_if(queue->Timers, [&](const TTimer& t) { return t.Hwnd == hwnd && t.Id == id; });
        return queue->Timers.size() != before;
    };
    if (tryQueue(&ThisQueue())) return TRUE;
    if (hwnd) {
        const auto owner = QueueOfWindow(hwnd);
        if (tryQueue(owner.get())) return TRUE;
    }
    kernel::SetLastError(kernel::ERROR_INVALID_PARAMETER);
    return FALSE;
}

} // namespace quill::user
