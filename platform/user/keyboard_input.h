// The input path: where keystrokes enter the process, standing in for the system's input thread.
//
// keybd_event takes one key event (from the reference host's keyboard source, from a test, or a
// keystroke the library types itself). It updates the asynchronous key state and places
// WM_KEYDOWN/WM_KEYUP (WM_SYSKEYDOWN/WM_SYSKEYUP while Alt is down without Control, and for F10)
// in the input list of the focus thread's queue, carrying the event's extra-information word. The
// message's wParam is the virtual key (the generic VK_SHIFT, VK_CONTROL, VK_MENU for sided
// modifiers), its lParam the keystroke flags in the platform's form: repeat count 1, the scan code
// in bits 16-23, the extended flag in bit 24, the Alt context in bit 29, the previous state in
// bit 30 and the transition (1 for a release) in bit 31.
//
// The focus thread is the one set with SetFocusThread, or the thread of the window given to
// SetFocus (whose key messages are then addressed to that window); without either, the thread
// that made the process's first message queue (once that thread has ended, the next thread to
// make a queue). A key event while the focus thread has ended or
// has no queue still updates the asynchronous state; its message is lost, as a keystroke with no
// focused application is.
//
// Thread-safe: events from several threads are taken one at a time, so the asynchronous state and
// the order of the messages agree.
//
// On Windows these are the system's input: keybd_event and SendInput enter its input stream, whose
// key messages go to the thread of the foreground window (to its focus window), and SetFocus and
// GetFocus are the system's, for windows of the calling thread. The scan code and the extended
// flag are completed as described above before the event is entered.
#pragma once

#include "platform/user/user_types.h"

#include <cstdint>

namespace quill::user {

using BYTE = std::uint8_t;
using SHORT = std::int16_t;

constexpr DWORD KEYEVENTF_EXTENDEDKEY = 0x0001;
constexpr DWORD KEYEVENTF_KEYUP = 0x0002;

// One key event: `flags` KEYEVENTF_KEYUP for a release (else a press), KEYEVENTF_EXTENDEDKEY for
// the right-hand Control and Alt; `scanCode` 0 takes the usual one for the sided modifiers.
void keybd_event(BYTE virtualKey, BYTE scanCode, DWORD flags, ULONG_PTR extraInfo);

constexpr DWORD INPUT_KEYBOARD = 1;

struct KEYBDINPUT {
    std::uint16_t wVk;
    std::uint16_t wScan;
    DWORD dwFlags;
    DWORD time; // the message's time (GetMessageTime); 0: the clock's time when it is entered
    ULONG_PTR dwExtraInfo;
};

struct INPUT {
    DWORD type; // INPUT_KEYBOARD
    KEYBDINPUT ki;
};

// Enters `count` key events, each as keybd_event would, as one batch: no key event of another
// caller lands between them, so a key typed meanwhile comes after the whole batch. `size` is
// sizeof(INPUT). Returns `count`; 0 (last error ERROR_INVALID_PARAMETER, nothing entered) for a
// nil `inputs`, a wrong `size`, or an event that is no keyboard event or has a code above 255.
UINT SendInput(UINT count, const INPUT* inputs, int size);

// Negative while `virtualKey` is down in the input path's state; 0 otherwise (and for a code
// outside 0..255).
SHORT GetAsyncKeyState(int virtualKey);

#ifndef _WIN32
// Makes `threadId` the focus thread (0: back to the default) and clears the focus window.
// Returns the previous focus thread as set (0 when it was the default). The stand-in's own: on
// Windows the system gives keyboard input to the thread of the foreground window.
DWORD SetFocusThread(DWORD threadId);
// The thread that receives keyboard input now; 0 when there is none.
DWORD GetFocusThread();
#endif
// Makes `hwnd` the focus window: its thread becomes the focus thread and key messages are
// addressed to it. Nil clears the focus window and keeps the focus thread. Returns the previous
// focus window; nil and ERROR_INVALID_WINDOW_HANDLE when `hwnd` is no window.
HWND SetFocus(HWND hwnd);
// The focus window, nil when there is none or it has been destroyed.
HWND GetFocus();

} // namespace quill::user
