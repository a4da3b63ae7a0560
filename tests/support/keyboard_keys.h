// Key events as a keyboard enters them: with the key's scan code. The capture takes a key entered
// with scan code 0 for one a program typed (its own replay) and lets it pass unexamined, so tests
// that play a user typing must give every key its code.
#pragma once

#include "platform/user/keyboard_input.h"

namespace quill::test {

inline user::BYTE ScanCodeOf(user::BYTE key) {
    return static_cast<user::BYTE>(user::MapVirtualKeyA(key, user::MAPVK_VK_TO_VSC));
}

// One key event of `key` (`flags` as keybd_event's) as a keyboard enters it.
inline void KeyboardEvent(user::BYTE key, user::DWORD flags = 0) {
    user::keybd_event(key, ScanCodeOf(key), flags, 0);
}

} // namespace quill::test
