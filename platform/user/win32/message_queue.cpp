// Message queues on Windows: the system's, with the contract's checks of its arguments and the
// message's extra-information word carried in MSG.
#include "platform/user/message_queue.h"

#include "platform/user/win32/user_system.h"
#include "platform/user/win32/window_entry.h"

namespace quill::user {

using win32::Ours;
using win32::Sys;

DWORD GetCurrentThreadId() {
    return ::GetCurrentThreadId();
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
    return ::PostMessageA(Sys(hwnd), message, wParam, lParam);
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    // The calling thread always has a queue for itself, as the contract promises.
    if (threadId == ::GetCurrentThreadId()) win32::EnsureQueue();
    return ::PostThreadMessageA(threadId, message, wParam, lParam);
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return win32::Raising([&] { return ::SendMessageA(Sys(hwnd), message, wParam, lParam); });
}

void PostQuitMessage(int exitCode) {
    ::PostQuitMessage(exitCode);
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ::MSG system{};
    const win32::TFailureScope dropping(false); // a sender on another thread gets 0
    if (!::PeekMessageA(&system, Sys(hwnd), filterMin, filterMax, removeMsg)) return FALSE;
    *msg = Ours(system);
    return TRUE;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    ::MSG system{};
    const win32::TFailureScope dropping(false); // a sender on another thread gets 0
    const BOOL result = ::GetMessageA(&system, Sys(hwnd), filterMin, filterMax);
    if (result != -1) *msg = Ours(system);
    return result;
}

DWORD MsgWaitForMultipleObjects(DWORD count, const kernel::HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask) {
    // The system's wait: the handles are the system's own.
    if (count > 0 && !handles) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    return ::MsgWaitForMultipleObjects(count,
                                       count ? reinterpret_cast<const ::HANDLE*>(handles) : nullptr,
                                       waitAll, milliseconds, wakeMask);
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    const ::MSG system = Sys(*msg);
    return win32::Raising([&] { return ::DispatchMessageA(&system); });
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    const ::MSG system = Sys(*msg);
    return ::TranslateMessage(&system);
}

ULONG_PTR GetMessageExtraInfo() {
    return static_cast<ULONG_PTR>(::GetMessageExtraInfo());
}

LONG GetMessageTime() {
    return ::GetMessageTime();
}

} // namespace quill::user
