#include "platform/user/keyboard_bridge.h"

#include "platform/user/clock.h"
#include "platform/user/evdev_keymap.h"
#include "platform/user/key_state.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/keysym_keys.h"
#include "platform/user/message_queue.h"
#include "platform/user/queue_wait.h"
#include "platform/user/virtual_keys.h"

#include <climits>
#include <linux/input-event-codes.h>
#include <optional>

namespace quill::user {

namespace {

bool IsModifierOrLock(std::uint16_t code) {
    switch (code) {
    case KEY_LEFTSHIFT:
    case KEY_RIGHTSHIFT:
    case KEY_LEFTCTRL:
    case KEY_RIGHTCTRL:
    case KEY_LEFTALT:
    case KEY_RIGHTALT:
    case KEY_CAPSLOCK:
    case KEY_NUMLOCK:
    case KEY_SCROLLLOCK:
        return true;
    default:
        return false;
    }
}

// A source clock further behind ours than this has jumped (or is another source's).
constexpr std::uint64_t kMaxLagMs = 10000;

std::optional<std::uint16_t> EvdevCodeOf(const TToolkitKeyEvent& event) {
    if (event.Kind == TKeyCodeKind::X11Keysym) return KeysymToEvdevKey(event.Code);
    if (event.Code > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(event.Code);
}

struct TModifier {
    std::uint32_t Mask;
    BYTE Generic;
    BYTE Left;
    BYTE Right;
    std::uint16_t LeftCode;
    std::uint16_t RightCode;
};

constexpr TModifier kModifiers[] = {
    {KeyStateShift, VK_SHIFT, VK_LSHIFT, VK_RSHIFT, KEY_LEFTSHIFT, KEY_RIGHTSHIFT},
    {KeyStateControl, VK_CONTROL, VK_LCONTROL, VK_RCONTROL, KEY_LEFTCTRL, KEY_RIGHTCTRL},
    {KeyStateAlt, VK_MENU, VK_LMENU, VK_RMENU, KEY_LEFTALT, KEY_RIGHTALT},
};

struct TLock {
    std::uint32_t Mask;
    BYTE Key;
    std::uint16_t Code;
};

constexpr TLock kLocks[] = {{KeyStateCapsLock, VK_CAPITAL, KEY_CAPSLOCK},
                            {KeyStateNumLock, VK_NUMLOCK, KEY_NUMLOCK}};

} // namespace

TKeyboardBridge::TKeyboardBridge(TDeliver deliver)
    : FDeliver(std::move(deliver)), FThread(GetCurrentThreadId()),
      FPreviousFocus(SetFocusThread(FThread)), FWaitDescriptor(GetQueueWaitDescriptor()) {}

TKeyboardBridge::~TKeyboardBridge() {
    if (GetFocusThread() == FThread) SetFocusThread(FPreviousFocus);
}

bool TKeyboardBridge::KeyEvent(const TToolkitKeyEvent& event) {
    const auto code = EvdevCodeOf(event);
    if (!code || !EvdevKeyToVirtualKey(*code)) return false;
    const DWORD time = MessageTime(event.TimeMs);
    FBatch.clear();
    if (event.HasState && !IsModifierOrLock(*code)) Reconcile(event.State, time);
    Add(*code, event.Down, time);
    SendInput(static_cast<UINT>(FBatch.size()), FBatch.data(), static_cast<int>(sizeof(INPUT)));
    Dispatch();
    return true;
}

void TKeyboardBridge::Add(std::uint16_t code, bool down, DWORD time) {
    const auto key = EvdevKeyToVirtualKey(code);
    if (!key) return;
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key->VirtualKey;
    input.ki.wScan = key->ScanCode;
    input.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (key->Extended ? KEYEVENTF_EXTENDEDKEY : 0);
    input.ki.time = time;
    FBatch.push_back(input);
}

DWORD TKeyboardBridge::MessageTime(std::uint64_t sourceMs) {
    if (sourceMs == 0) return 0;
    const std::uint64_t now = GetTickCount64();
    std::uint64_t mapped = sourceMs + static_cast<std::uint64_t>(FTimeOffset);
    if (!FTimeAnchored || mapped > now || mapped + kMaxLagMs < now) {
        FTimeOffset = static_cast<std::int64_t>(now - sourceMs);
        FTimeAnchored = true;
        mapped = now;
    }
    if (mapped < FLastTime) mapped = FLastTime;
    FLastTime = mapped;
    // 0 would ask for the clock's time.
    return static_cast<DWORD>(mapped) ? static_cast<DWORD>(mapped) : 1;
}

void TKeyboardBridge::Reconcile(std::uint32_t state, DWORD time) {
    // The thread's key state is the input path's: the bridge retrieves every key it enters before
    // the next event (a key a hook holds counts as retrieved).
    BYTE keys[256];
    GetKeyboardState(keys);
    const auto down = [&keys](BYTE key) { return (keys[key] & 0x80) != 0; };
    for (const TModifier& m : kModifiers) {
        const bool wanted = (state & m.Mask) != 0;
        if (wanted == down(m.Generic)) continue;
        if (wanted) {
            Add(m.LeftCode, true, time);
            continue;
        }
        if (down(m.Left)) Add(m.LeftCode, false, time);
        if (down(m.Right)) Add(m.RightCode, false, time);
    }
    for (const TLock& lock : kLocks) {
        const bool wanted = (state & lock.Mask) != 0;
        if (wanted == ((keys[lock.Key] & 1) != 0)) continue;
        Add(lock.Code, true, time);
        Add(lock.Code, false, time);
    }
}

void TKeyboardBridge::DeliverMessage(const MSG& msg) {
    TApplicationKey key;
    key.Time = msg.time;
    key.ExtraInfo = msg.extraInfo;
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
        key.Kind = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN
                       ? TApplicationKeyKind::KeyDown
                       : TApplicationKeyKind::KeyUp;
        key.VirtualKey = static_cast<BYTE>(msg.wParam);
        key.Extended = (static_cast<std::uint32_t>(msg.lParam) & (1u << 24)) != 0;
        if (FDeliver) FDeliver(key);
        // The character follows as WM_CHAR, ahead of the next key.
        TranslateMessage(&msg);
        return;
    case WM_CHAR:
    case WM_SYSCHAR:
        key.Kind = TApplicationKeyKind::Character;
        key.Character = static_cast<char16_t>(msg.wParam);
        if (FDeliver) FDeliver(key);
        return;
    default:
        return;
    }
}

bool TKeyboardBridge::Dispatch() {
    // A callback that entered another key: the running loop below retrieves it next.
    if (FDispatching) return !FQuit;
    FDispatching = true;
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{FDispatching};
    AcknowledgeQueueWait();
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            FQuit = true;
            break;
        }
        DeliverMessage(msg);
        DispatchMessageA(&msg);
    }
    return !FQuit;
}

int TKeyboardBridge::WaitTimeoutMs() const {
    const std::uint64_t due = GetNextTimerDue();
    if (due == UINT64_MAX) return -1;
    const std::uint64_t now = GetTickCount64();
    if (due <= now) return 0;
    return due - now > INT_MAX ? INT_MAX : static_cast<int>(due - now);
}

bool TKeyboardBridge::Finish(DWORD limitMs) {
    const std::uint64_t end = GetTickCount64() + limitMs;
    for (;;) {
        Dispatch();
        const std::uint64_t due = GetNextTimerDue();
        if (due == UINT64_MAX) return true;
        if (due > end) return false;
        const std::uint64_t now = GetTickCount64();
        // Nothing else is awaited now: the clock's own sleep (a virtual clock jumps).
        if (due > now) Sleep(static_cast<DWORD>(due - now));
    }
}

} // namespace quill::user
