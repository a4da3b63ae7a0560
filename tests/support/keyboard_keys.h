// Key events as a keyboard enters them: with the key's scan code. The capture takes a key entered
// with scan code 0 for one a program typed (its own replay) and lets it pass unexamined, so tests
// that play a user typing must give every key its code.
#pragma once

#include "platform/user/keyboard_input.h"
#include "platform/user/virtual_keys.h"

namespace quill::test {

// The scan code a keyboard gives `key`. The keypad's keys have theirs whatever Num Lock says, but a
// system's layout may know them only under the navigation keys Num Lock off makes them (Wine's
// gives VK_LEFT 0x4B and VK_NUMPAD4 none): those are listed here, from VK_NUMPAD0 to VK_DIVIDE.
inline user::BYTE ScanCodeOf(user::BYTE key) {
    constexpr user::BYTE kKeypad[] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47,
                                      0x48, 0x49, 0x37, 0x4E, 0x00, 0x4A, 0x53, 0x35};
    if (key >= user::VK_NUMPAD0 && key <= user::VK_DIVIDE && kKeypad[key - user::VK_NUMPAD0])
        return kKeypad[key - user::VK_NUMPAD0];
    return static_cast<user::BYTE>(user::MapVirtualKeyA(key, user::MAPVK_VK_TO_VSC));
}

// One key event of `key` (`flags` as keybd_event's) as a keyboard enters it.
inline void KeyboardEvent(user::BYTE key, user::DWORD flags = 0) {
    user::keybd_event(key, ScanCodeOf(key), flags, 0);
}

} // namespace quill::test
