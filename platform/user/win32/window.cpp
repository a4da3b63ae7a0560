// Windows on Windows: the system's classes and windows. Classes are registered for the module
// that holds these services; a window made without a parent is a message-only window, as the
// library's windows are message targets only.
#include "platform/user/window.h"

#include "platform/user/win32/user_system.h"

// On 32-bit Windows the system's headers make these names macros for GetWindowLongA and
// SetWindowLongA; the contract's functions keep their own names.
#undef GetWindowLongPtrA
#undef SetWindowLongPtrA

namespace quill::user {

using win32::Ours;
using win32::Sys;

static_assert(sizeof(CREATESTRUCTA) == sizeof(::CREATESTRUCTA));
static_assert(offsetof(CREATESTRUCTA, lpCreateParams) == offsetof(::CREATESTRUCTA, lpCreateParams));
static_assert(offsetof(CREATESTRUCTA, hwndParent) == offsetof(::CREATESTRUCTA, hwndParent));
static_assert(offsetof(CREATESTRUCTA, style) == offsetof(::CREATESTRUCTA, style));
static_assert(offsetof(CREATESTRUCTA, lpszClass) == offsetof(::CREATESTRUCTA, lpszClass));
static_assert(offsetof(CREATESTRUCTA, dwExStyle) == offsetof(::CREATESTRUCTA, dwExStyle));

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
        !*windowClass->lpszClassName) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ::WNDCLASSA system{};
    system.style = windowClass->style;
    system.lpfnWndProc = reinterpret_cast<::WNDPROC>(windowClass->lpfnWndProc);
    system.hInstance = win32::OwnModule();
    system.lpszClassName = windowClass->lpszClassName;
    return ::RegisterClassA(&system);
}

BOOL UnregisterClassA(const char* className) {
    return ::UnregisterClassA(className, win32::OwnModule());
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     HWND parent, void* param) {
    // HWND_MESSAGE, spelled out: inside this namespace the macro's cast would name our HWND.
    const ::HWND owner = parent ? Sys(parent) : reinterpret_cast<::HWND>(std::intptr_t{-3});
    return Ours(::CreateWindowExA(exStyle, className, windowName, style, 0, 0, 0, 0, owner, nullptr,
                                  win32::OwnModule(), param));
}

BOOL DestroyWindow(HWND hwnd) {
    return ::DestroyWindow(Sys(hwnd));
}

BOOL IsWindow(HWND hwnd) {
    return ::IsWindow(Sys(hwnd));
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    ::DWORD process = 0;
    const ::DWORD thread = ::GetWindowThreadProcessId(Sys(hwnd), &process);
    if (!thread) {
        ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (processId) *processId = process;
    return thread;
}

DWORD GetWindowStyle(HWND hwnd) {
    return static_cast<DWORD>(::GetWindowLongA(Sys(hwnd), GWL_STYLE));
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    if (index != GWLP_USERDATA && index != GWLP_WNDPROC) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return ::GetWindowLongA(Sys(hwnd), index);
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    if (index != GWLP_USERDATA && !(index == GWLP_WNDPROC && value)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return ::SetWindowLongA(Sys(hwnd), index, value);
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(Sys(hwnd), message, wParam, lParam);
}

} // namespace quill::user
