// Types and constants of the user services: window handles, message parameters, MSG, window and
// timer procedures, and the message numbers the library uses.
//
// A window handle is an opaque value that is never reused within a process, so a handle kept after
// its window was destroyed is recognised as invalid rather than reaching another window. MSG
// carries, beside the platform's fields, the extra-information word of the message (the input path
// marks keystrokes with it); GetMessageExtraInfo gives that of the last message retrieved.
//
// On Windows these are the system's own services (user32) and its rules, with this layer between
// the system and the procedures: a window procedure receives the messages named here and those
// from WM_USER up (the system's own window management is handled for it), and an exception from a
// window, timer or hook procedure is held at the system's boundary and raised again where the
// contract says (window.h, timer.h, keyboard_hook.h). Handles may be reused after a long time.
#pragma once

#include <cstdint>

// Window, timer and hook procedures are called by the system: on 32-bit Windows with its stdcall
// convention. The definition is the system headers' own (and com/com_types.h's), guarded so that
// either may come first; elsewhere there is one convention and the name is empty.
#ifndef CALLBACK
#if defined(_WIN32)
#define CALLBACK __stdcall
#else
#define CALLBACK
#endif
#endif

namespace quill::user {

using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using ATOM = std::uint16_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;

struct HWND__;
using HWND = HWND__*;

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
    // The message's extra-information word (0 unless the sender set one).
    ULONG_PTR extraInfo;
};

typedef LRESULT(CALLBACK* WNDPROC)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
typedef void(CALLBACK* TIMERPROC)(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_GETOBJECT = 0x003D;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYFIRST = 0x0100;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_KEYLAST = 0x0109;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_POPUP = 0x80000000;

constexpr int GWLP_USERDATA = -21;
constexpr int GWLP_WNDPROC = -4;

constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// Last-error values the user services set.
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;

} // namespace quill::user
