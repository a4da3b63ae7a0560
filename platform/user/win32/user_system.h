// Private to the Windows side of the user services: the system's headers and the conversions
// between the contract's types and the system's at the boundary.
//
// Include it after every contract header a file needs: the system's headers define as macros many
// names that the contract declares as constants (WM_TIMER, VK_SHIFT, TRUE...), which must already
// be declared when the macros appear. After it, those names are the macros, with the same values.
//
// The contract's handles and integers have the system's sizes; only the names of the types differ
// (the contract's DWORD is an unsigned int, the system's an unsigned long), so handles and
// procedures are passed with a cast and records field by field.
#pragma once

#include "platform/user/user_types.h"

#include <windows.h>

namespace quill::user::win32 {

static_assert(sizeof(WPARAM) == sizeof(::WPARAM) && sizeof(LPARAM) == sizeof(::LPARAM) &&
              sizeof(LRESULT) == sizeof(::LRESULT) && sizeof(DWORD) == sizeof(::DWORD));

inline ::HWND Sys(HWND hwnd) {
    return reinterpret_cast<::HWND>(hwnd);
}
inline HWND Ours(::HWND hwnd) {
    return reinterpret_cast<HWND>(hwnd);
}

inline ::MSG Sys(const MSG& msg) {
    ::MSG out{};
    out.hwnd = Sys(msg.hwnd);
    out.message = msg.message;
    out.wParam = msg.wParam;
    out.lParam = msg.lParam;
    out.time = msg.time;
    out.pt.x = msg.pt.x;
    out.pt.y = msg.pt.y;
    return out;
}

// The message as retrieved, with the extra-information word the system keeps beside it.
inline MSG Ours(const ::MSG& msg) {
    MSG out{};
    out.hwnd = Ours(msg.hwnd);
    out.message = msg.message;
    out.wParam = msg.wParam;
    out.lParam = msg.lParam;
    out.time = msg.time;
    out.pt.x = msg.pt.x;
    out.pt.y = msg.pt.y;
    out.extraInfo = static_cast<ULONG_PTR>(::GetMessageExtraInfo());
    return out;
}

// The module that holds these services (the plug-in, or a test program): window classes belong to
// it, so that two modules with their own copies never share a class.
inline ::HMODULE OwnModule() {
    static const ::HMODULE module = [] {
        HMODULE handle = nullptr;
        ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCSTR>(&OwnModule), &handle);
        return handle;
    }();
    return module;
}

// Makes sure the calling thread has a message queue: the system makes one on the first retrieval,
// but messages posted to the thread and thread hooks need it before.
inline void EnsureQueue() {
    ::MSG msg;
    ::PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

} // namespace quill::user::win32
