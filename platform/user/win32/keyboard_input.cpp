// The input path on Windows: the system's input stream. Events are completed as the contract
// describes (the usual scan code when none is given, the extended flag of the right-hand Control
// and Alt) and entered with SendInput, whose events no other input can come between.
#include "platform/user/keyboard_input.h"

#include "platform/user/key_state.h"
#include "platform/user/virtual_keys.h"
#include "platform/user/win32/hooked_key.h"
#include "platform/user/win32/user_system.h"

#include <vector>

namespace quill::user {

namespace {

::INPUT SystemKey(BYTE virtualKey, BYTE scanCode, DWORD flags, ULONG_PTR extraInfo, DWORD time) {
    ::INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan =
        scanCode ? scanCode : static_cast<WORD>(::MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags & (KEYEVENTF_KEYUP | KEYEVENTF_EXTENDEDKEY);
    if (virtualKey == VK_RCONTROL || virtualKey == VK_RMENU)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    input.ki.time = time;
    input.ki.dwExtraInfo = extraInfo;
    return input;
}

// Notes the events for the hooks of the thread they reach, then enters them.
UINT Enter(const std::vector<::INPUT>& inputs) {
    for (const ::INPUT& input : inputs) {
        const auto key = static_cast<BYTE>(input.ki.wVk);
        const bool extended = (input.ki.dwFlags & KEYEVENTF_EXTENDEDKEY) != 0;
        win32::NoteEnteredKey(
            detail::ResolveKey(key, static_cast<BYTE>(input.ki.wScan), extended).Generic,
            (input.ki.dwFlags & KEYEVENTF_KEYUP) != 0, input.ki.dwExtraInfo);
    }
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

HWND SetFocus(HWND hwnd) {
    return win32::Ours(::SetFocus(win32::Sys(hwnd)));
}

HWND GetFocus() {
    return win32::Ours(::GetFocus());
}

} // namespace quill::user
