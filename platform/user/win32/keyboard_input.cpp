// The input path on Windows: the system's input stream. Events are completed as the contract
// describes (the extended flag of the right-hand modifiers) and entered with SendInput, whose
// events no other input can come between. The scan code goes in as given: the system puts it in
// the key message's lParam, 0 included, which is how a hook tells a typed key from one a program
// entered without one.
#include "platform/user/keyboard_input.h"

#include "platform/user/virtual_keys.h"
#include "platform/user/win32/user_system.h"

#include <vector>

namespace quill::user {

namespace {

::INPUT SystemKey(BYTE virtualKey, BYTE scanCode, DWORD flags, ULONG_PTR extraInfo, DWORD time) {
    ::INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scanCode;
    input.ki.dwFlags = flags & (KEYEVENTF_KEYUP | KEYEVENTF_EXTENDEDKEY);
    // Without the flag and a scan code, the system takes VK_RSHIFT for the left Shift (Wine
    // releases or presses the left one and leaves it so).
    if (virtualKey == VK_RCONTROL || virtualKey == VK_RMENU ||
        (virtualKey == VK_RSHIFT && scanCode == 0))
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    input.ki.time = time;
    input.ki.dwExtraInfo = extraInfo;
    return input;
}

UINT Enter(const std::vector<::INPUT>& inputs) {
    return ::SendInput(static_cast<::UINT>(inputs.size()), const_cast<::INPUT*>(inputs.data()),
                       sizeof(::INPUT));
}

} // namespace

void keybd_event(BYTE virtualKey, BYTE scanCode, DWORD flags, ULONG_PTR extraInfo) {
    Enter({SystemKey(virtualKey, scanCode, flags, extraInfo, 0)});
}

UINT SendInput(UINT count, const INPUT* inputs, int size) {
    if (!inputs || size != static_cast<int>(sizeof(INPUT))) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::vector<::INPUT> system;
    system.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        const KEYBDINPUT& key = inputs[i].ki;
        if (inputs[i].type != INPUT_KEYBOARD || key.wVk > 0xFF || key.wScan > 0xFF) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        system.push_back(SystemKey(static_cast<BYTE>(key.wVk), static_cast<BYTE>(key.wScan),
                                   key.dwFlags, key.dwExtraInfo, key.time));
    }
    if (count == 0) return 0;
    return Enter(system);
}

SHORT GetAsyncKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    // Only whether the key is down: the system's low bit (pressed since the last call) is not
    // part of the contract.
    return static_cast<SHORT>(::GetAsyncKeyState(virtualKey) & 0x8000);
}

UINT MapVirtualKeyA(UINT code, UINT mapType) {
    return ::MapVirtualKeyA(code, mapType);
}

HWND SetFocus(HWND hwnd) {
    return win32::Ours(::SetFocus(win32::Sys(hwnd)));
}

HWND GetFocus() {
    return win32::Ours(::GetFocus());
}

} // namespace quill::user
