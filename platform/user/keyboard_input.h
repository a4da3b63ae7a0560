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
// The scan code is the one the event was entered with, 0 included: a keyboard gives every key a
// non-zero one (the keyboard bridge and MapVirtualKeyA give it), so a key entered with scan code
// 0 is one a program typed, and a keyboard hook can tell it apart by its lParam alone
// (keyboard_hook.h). The side of a generic modifier entered without one is its left key; the
// right Shift entered without one is given the extended flag, which keeps it on its side (without
// it, Wine acts on the left Shift). Its message has the flag on Linux, where it is what marks the
// side; Wine's has neither flag nor code, so inside a hook its side is not known there.
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
// GetFocus are the system's, for windows of the calling thread. The extended flag is completed as
// described above before the event is entered; the scan code is passed as given.
#pragma once

#include "platform/user/user_types.h"

#include <cstdint>

namespace quill::user {

using BYTE = std::uint8_t;
using SHORT = std::int16_t;

constexpr DWORD KEYEVENTF_EXTENDEDKEY = 0x0001;
constexpr DWORD KEYEVENTF_KEYUP = 0x0002;

// One key event: `flags` KEYEVENTF_KEYUP for a release (else a press), KEYEVENTF_EXTENDEDKEY for
// the right-hand Control and Alt (added for VK_RCONTROL and VK_RMENU, and for VK_RSHIFT without a
// scan code); `scanCode` goes into the message as given (0 marks a key no keyboard typed).
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

constexpr UINT MAPVK_VK_TO_VSC = 0;

// The set-1 scan code of the key `code` names on the US keyboard (mapType MAPVK_VK_TO_VSC): what a
// keyboard sends for it, without the 0xE0 prefix of extended keys; the generic VK_SHIFT,
// VK_CONTROL and VK_MENU give their left-hand key's. 0 for a code that is no key of that keyboard.
// On Linux every other map type gives 0; on Windows this is the system's, with all its map types
// and the keyboard layout of the calling thread (Wine's gives 0 for the keypad's digit keys).
UINT MapVirtualKeyA(UINT code, UINT mapType);

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
