// The keyboard hook of the scanner list: the hook procedure, the examination of each key, the
// raising of completed scans and the replay of keys that no device claims. These are members of
// TManagerQuillList (manager_quill_list.h), kept in keyboard_capture.cpp; this header holds what
// they share with the rest of the tree and states how they behave.
//
// Installing: InstallHook asks the host's event sink which thread the hook belongs on
// (GetHookThreadId) and installs a WH_KEYBOARD thread hook there; RemoveHook takes it away. The
// last device switched off removes it (AllDevicesReleased).
//
// The hook procedure (TManagerQuillList::KeyboardHookProc) sees each key message as the thread
// retrieves it. Keys whose lParam has scan code 0 are the capture's own replay and pass
// unexamined (a keyboard gives every key a scan code, and the replay enters its keys without one;
// the extra-information word is no help here, as inside a hook not every system gives that of the
// hooked key); every other key is examined: converted with the US English layout from one
// snapshot of the thread's key state, and handed to the framing state machine (scan_framer.h),
// which holds or passes it. A held key is discarded by returning HookKeyHeld; a passed key goes on
// down the hook chain. Keys that the framing does not judge pass at once: modifiers, lock keys
// (held and replayed they would toggle twice) and key-ups. Keypad digits typed while Alt is held
// are an Alt code: held until Alt is released, then judged as the one character they enter; another
// key abandons the code and carries its digits, which reach the application just before it. The one
// key-up that may be held back is Alt's, when every key typed since Alt went down was held: passed,
// it would be a lone Alt tap, which opens a window's menu bar.
//
// Output: a completed scan is raised through the device's event sink as the external event
// ("Сканер", device identifier, data). Held keys that no device claims are typed again as one
// batch of the input path (SendInput), each keystroke with scan code 0 and, for applications that
// look, ReplayMarker in its extra-information word: each modifier pressed on its own side (the
// right-hand ones with the extended flag) and afterwards down exactly when the user holds it; Caps
// Lock and Num
// Lock tapped where a key's character needs the state it was typed with, and back as the user had
// them at the end; keys typed meanwhile come after the whole batch.
//
// Threads: the hook runs on the thread the event sink names, usually the host's user-interface
// thread. The hook procedure has no context argument: it reaches the list through the accessor
// (ScannerList) and takes the list's lock (Use()) for the whole key, so a host thread changing
// the devices finishes first. A host that destroys the list from its event call is noticed: the
// scan's raise reports that the list is gone and nothing touches it afterwards.
//
// Errors: a failure while examining a key never swallows the key: it passes to the application.
// Without an event sink, or when the sink names no thread, no hook is installed and keys simply
// are not captured; a device without an event sink drops its scans.
#pragma once

#include "platform/user/key_state.h"
#include "platform/user/keyboard_hook.h"

namespace quill::capture {

// The extra-information word of the keystrokes that the capture types again, for applications;
// the capture itself does not decide on it.
constexpr user::ULONG_PTR ReplayMarker = 0x51554C4C; // "QULL"

// Whether a key message's flags (a hook's lParam) are those of a key that the capture typed again:
// entered without a scan code, which no keyboard's key has.
constexpr bool IsReplayedKey(user::LPARAM flags) {
    return ((static_cast<std::uint32_t>(flags) >> 16) & 0xFF) == 0;
}

// What the hook procedure returns for a key it holds back: any non-zero result discards the key
// message before the application retrieves it.
constexpr user::LRESULT HookKeyHeld = 2;

// A copy of the thread's key state, taken once for all of a key's questions: nothing changes that
// state while the hook examines the key.
struct TKeyboardSnapshot {
    TKeyboardSnapshot() { user::GetKeyboardState(State); }
    bool Down(int key) const { return (State[key & 0xFF] & 0x80) != 0; }
    // The right-hand key of a modifier is down and the left-hand one is not.
    bool RightOnly(int left, int right) const { return Down(right) && !Down(left); }
    user::BYTE State[256];
};

} // namespace quill::capture
