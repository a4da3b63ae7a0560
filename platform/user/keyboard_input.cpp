#include "platform/user/keyboard_input.h"

#include "platform/kernel/last_error.h"
#include "platform/user/key_state.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"
#include "platform/user/user_state_impl.h"
#include "platform/user/window.h"

#include <array>
#include <mutex>

namespace quill::user {

namespace {

constexpr BYTE VK_F10 = 0x79;

// Lock order: the input path's lock before the window registry's and a queue's.
struct TInputPath {
    std::mutex Lock;
    // Guarded by Lock:
    std::array<BYTE, 256> AsyncState{};
    DWORD FocusThread = 0;
    HWND FocusWindow = nullptr;
};

TInputPath& Input() {
    static TInputPath* input = new TInputPath; // outlives threads that end during exit
    return *input;
}

DWORD DefaultFocusThread() {
    auto& state = detail::State();
    std::lock_guard guard(state.Lock);
    return state.FirstQueueThread;
}

} // namespace

namespace {

// One key event, with the input path's lock held.
void EnterKey(TInputPath& input, BYTE virtualKey, BYTE scanCode, DWORD flags, ULONG_PTR extraInfo,
              DWORD time) {
    const bool up = (flags & KEYEVENTF_KEYUP) != 0;
    const bool extended = (flags & KEYEVENTF_EXTENDEDKEY) != 0 || virtualKey == VK_RCONTROL ||
                          virtualKey == VK_RMENU || (virtualKey == VK_RSHIFT && scanCode == 0);
    // The side of a generic modifier comes from the key's usual scan code when none is given;
    // the message carries the code as given.
    const auto sideCode =
        scanCode ? scanCode : static_cast<BYTE>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    const detail::TKeyIdentity key = detail::ResolveKey(virtualKey, sideCode, extended);

    BYTE* state = input.AsyncState.data();
    const bool wasDown = (state[key.Sided ? key.Sided : key.Generic] & 0x80) != 0;
    detail::ApplyKey(state, key, !up);
    const bool alt = (state[VK_MENU] & 0x80) != 0;
    const bool control = (state[VK_CONTROL] & 0x80) != 0;
    const bool system = !control && (alt || key.Generic == VK_F10 || key.Generic == VK_MENU);

    MSG msg{};
    msg.message = up ? (system ? WM_SYSKEYUP : WM_KEYUP) : (system ? WM_SYSKEYDOWN : WM_KEYDOWN);
    msg.wParam = key.Generic;
    std::uint32_t data = 1u | (static_cast<std::uint32_t>(scanCode) << 16);
    if (extended) data |= 1u << 24;
    if (alt) data |= 1u << 29;
    if (up || wasDown) data |= 1u << 30;
    if (up) data |= 1u << 31;
    msg.lParam = static_cast<LPARAM>(static_cast<std::int32_t>(data));
    msg.extraInfo = extraInfo;
    msg.time = time; // 0: the queue stamps it with the clock's time

    if (input.FocusWindow && !IsWindow(input.FocusWindow)) input.FocusWindow = nullptr;
    msg.hwnd = input.FocusWindow;
    const DWORD target = input.FocusThread ? input.FocusThread : DefaultFocusThread();
    // A keystroke for a focus that has gone is lost, as it is when no application has the focus;
    // the caller is told nothing, and its own last error stays as it was.
    const DWORD lastError = kernel::GetLastError();
    if (target) PostInputMessage(target, msg);
    kernel::SetLastError(lastError);
}

} // namespace

void keybd_event(BYTE virtualKey, BYTE scanCode, DWORD flags, ULONG_PTR extraInfo) {
    TInputPath& input = Input();
    std::lock_guard guard(input.Lock);
    EnterKey(input, virtualKey, scanCode, flags, extraInfo, 0);
}

UINT SendInput(UINT count, const INPUT* inputs, int size) {
    if (!inputs || size != static_cast<int>(sizeof(INPUT))) {
        kernel::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (UINT i = 0; i < count; ++i)
        if (inputs[i].type != INPUT_KEYBOARD || inputs[i].ki.wVk > 0xFF ||
            inputs[i].ki.wScan > 0xFF) {
            kernel::SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
    TInputPath& input = Input();
    std::lock_guard guard(input.Lock);
    for (UINT i = 0; i < count; ++i) {
        const KEYBDINPUT& key = inputs[i].ki;
        EnterKey(input, static_cast<BYTE>(key.wVk), static_cast<BYTE>(key.wScan), key.dwFlags,
                 key.dwExtraInfo, key.time);
    }
    return count;
}

SHORT GetAsyncKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    TInputPath& input = Input();
    std::lock_guard guard(input.Lock);
    return (input.AsyncState[static_cast<std::size_t>(virtualKey)] & 0x80)
               ? static_cast<SHORT>(0x8000)
               : static_cast<SHORT>(0);
}

DWORD SetFocusThread(DWORD threadId) {
    TInputPath& input = Input();
    std::lock_guard guard(input.Lock);
    const DWORD previous = input.FocusThread;
    input.FocusThread = threadId;
    input.FocusWindow = nullptr;
    return previous;
}

DWORD GetFocusThread() {
    TInputPath& input = Input();
    std::lock_guard guard(input.Lock);
    return input.FocusThread ? input.FocusThread : DefaultFocusThread();
}

HWND SetFocus(HWND hwnd) {
    DWORD thread = 0;
    if (hwnd) {
        thread = GetWindowThreadProcessId(hwnd, nullptr);
        if (!thread) {
            kernel::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
    }
    TInputPath& input = Input();
    std::lock_guard guard(input.Lock);
    const HWND previous = input.FocusWindow;
    input.FocusWindow = hwnd;
    if (thread) input.FocusThread = thread;
    return previous;
}

HWND GetFocus() {
    TInputPath& input = Input();
    std::lock_guard guard(input.Lock);
    if (input.FocusWindow && !IsWindow(input.FocusWindow)) input.FocusWindow = nullptr;
    return input.FocusWindow;
}

} // namespace quill::user
