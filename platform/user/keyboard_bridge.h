// The keyboard bridge: how a host that gets its keys from a toolkit or a device puts them through
// the input path, and gets back what the application is meant to receive.
//
// A host hands every key press and release it receives to KeyEvent, naming the key by X11 keysym
// (what toolkits on X11 report) or by Linux key code (what an input device reports), optionally
// with the toolkit's modifier and lock state. The bridge enters the physical key into the input
// path (keyboard_input.h) for the thread that made it, which becomes the focus thread, and then
// retrieves and dispatches that thread's messages until none is left: the keyboard hooks (the
// plug-in's capture) see the key there, timers run, and each key message and character that comes
// out — keys that passed the hooks and keys a hook typed again — goes to the delivery callback,
// in the order the application would receive them.
//
// A key the bridge does not know (a multimedia key, a dead key, an input method's composition, a
// keysym of another layout) is not entered: KeyEvent returns false and the host passes its own
// event to the application untouched, at once. Nothing holds it.
//
// Time: a key message carries the event's own time (GetMessageTime), on the run-time's clock: the
// first timed event fixes the distance between the source's clock and ours, so the spacing of the
// source's events is kept while a busy loop delivers them late. A time never lies ahead of now
// or before the previous key's; a source whose clock jumps (by more than ten seconds behind, or
// ahead of ours) is measured again. An event without a time is stamped when it is entered.
//
// Modifier state: when an event carries the toolkit's state (HasState), the bridge first makes
// the input path agree with it — presses the left Shift, Control or Alt that the state has down
// and the path has up, releases those the state has up, and toggles Caps Lock and Num Lock to the
// state's — so a window that gains the focus while a modifier is held, or a source that reports
// modifiers only as state, types the right characters. The modifier and lock keys' own events are
// entered as they are.
//
// Waiting: the host's event loop watches WaitDescriptor for reading (or waits WaitTimeoutMs, for
// a loop that takes only deadlines) and calls Dispatch when it is readable or the time has come:
// messages from other threads and timers (the capture's time-out) then run on time inside any
// loop, and the loop never polls. Dispatch returns false once the thread has retrieved WM_QUIT.
//
// Threads: every call on the thread that made the bridge; the delivery callback runs there, from
// inside KeyEvent, Dispatch or Finish. A callback that calls KeyEvent again has its key delivered
// after the current one. The previous focus thread is restored when the bridge is destroyed.
#pragma once

#include "platform/user/keyboard_input.h"
#include "platform/user/user_types.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace quill::user {

using BYTE = std::uint8_t;

enum class TKeyCodeKind : std::uint8_t { X11Keysym, LinuxKeyCode };

// Modifier and lock state as X11 reports it with a key event (the core state masks).
constexpr std::uint32_t KeyStateShift = 0x01;
constexpr std::uint32_t KeyStateCapsLock = 0x02;
constexpr std::uint32_t KeyStateControl = 0x04;
constexpr std::uint32_t KeyStateAlt = 0x08;
constexpr std::uint32_t KeyStateNumLock = 0x10;

struct TToolkitKeyEvent {
    TKeyCodeKind Kind = TKeyCodeKind::X11Keysym;
    std::uint32_t Code = 0;
    bool Down = true;
    // The modifier and lock state just before the event, as KeyState... bits; consulted only when
    // HasState is set (a device reports no such state).
    bool HasState = false;
    std::uint32_t State = 0;
    // The event's own time in milliseconds on its source's clock (the X server's time, the
    // kernel's timestamp); 0 when it has none.
    std::uint64_t TimeMs = 0;
};

enum class TApplicationKeyKind : std::uint8_t { KeyDown, KeyUp, Character };

// A key message or character that reached the application.
struct TApplicationKey {
    TApplicationKeyKind Kind = TApplicationKeyKind::KeyDown;
    // Key-down and key-up: the virtual key as key messages carry it (VK_SHIFT for either Shift)
    // and the extended flag.
    BYTE VirtualKey = 0;
    bool Extended = false;
    // Character: the character the key typed (WM_CHAR); 0 for key messages.
    char16_t Character = 0;
    // The message's time and extra-information word (nonzero for keys a hook typed again).
    DWORD Time = 0;
    ULONG_PTR ExtraInfo = 0;
};

class TKeyboardBridge {
  public:
    using TDeliver = std::function<void(const TApplicationKey&)>;

    explicit TKeyboardBridge(TDeliver deliver);
    ~TKeyboardBridge();
    TKeyboardBridge(const TKeyboardBridge&) = delete;
    TKeyboardBridge& operator=(const TKeyboardBridge&) = delete;

    // Enters one key event and dispatches what follows from it. False for a key the bridge does
    // not know: nothing was entered, and the caller passes its event on itself.
    bool KeyEvent(const TToolkitKeyEvent& event);

    // The descriptor to watch for reading (the thread's queue wait, queue_wait.h); -1 when the
    // kernel refused one (a loop then waits WaitTimeoutMs and cannot hear other threads).
    int WaitDescriptor() const { return FWaitDescriptor; }
    // Milliseconds until the thread's next timer is due (0 when it is due), -1 when none is set.
    int WaitTimeoutMs() const;
    // Retrieves and dispatches every message there is, delivering key messages and characters;
    // false once WM_QUIT was retrieved (the messages behind it stay for a later call).
    bool Dispatch();
    bool QuitRequested() const { return FQuit; }

    // For a host that is closing: runs the thread's timers until none is left or `limitMs` has
    // passed, so keys a hook still holds are either typed again or claimed, once. True when no
    // timer is left. Without it, the keys a hook holds when the host ends are never delivered.
    bool Finish(DWORD limitMs);

  private:
    void Reconcile(std::uint32_t state, DWORD time);
    void Add(std::uint16_t code, bool down, DWORD time);
    DWORD MessageTime(std::uint64_t sourceMs);
    void DeliverMessage(const MSG& msg);

    TDeliver FDeliver;
    DWORD FThread;
    DWORD FPreviousFocus;
    int FWaitDescriptor;
    bool FDispatching = false;
    bool FQuit = false;
    std::vector<INPUT> FBatch;
    bool FTimeAnchored = false;
    std::int64_t FTimeOffset = 0; // our clock minus the source's
    std::uint64_t FLastTime = 0;
};

} // namespace quill::user
