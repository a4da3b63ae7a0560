// Window timers on Windows: the system's, which post WM_TIMER to the thread that set them.
#include "platform/user/timer.h"

#include "platform/user/win32/user_system.h"

namespace quill::user {

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC timerProc) {
    return ::SetTimer(win32::Sys(hwnd), id, elapseMs, reinterpret_cast<::TIMERPROC>(timerProc));
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    return ::KillTimer(win32::Sys(hwnd), id);
}

} // namespace quill::user
