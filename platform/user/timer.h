// Window timers: WM_TIMER for the thread that created the timer.
//
// SetTimer with a window (of the calling thread) sets or resets that window's timer `id` (the
// result is nonzero on success); without a window it makes a new thread timer (or resets the
// calling thread's timer `id`) and returns its id. The interval is kept within
// USER_TIMER_MINIMUM..USER_TIMER_MAXIMUM milliseconds. The timer belongs to the calling thread's
// queue: WM_TIMER (wParam the id, lParam the timer procedure) is made when that thread retrieves
// messages and the timer is due, and the next expiry is then one interval later. DispatchMessage
// calls the timer procedure when there is one, else the window procedure. KillTimer removes the
// timer and any expiry not yet retrieved. Thread-safe; failures return 0 and set the last error.
//
// On Windows the timers are the system's; an exception from a timer procedure reaches the caller
// of this layer's DispatchMessageA, as one from a window procedure does (window.h).
#pragma once

#include "platform/user/user_types.h"

namespace quill::user {

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC timerProc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

} // namespace quill::user
