// The US English keyboard layout ("00000409"): virtual keys to characters and back.
//
// KeyToChar is what ToAsciiEx gives for one key with that layout: letters with Shift and Caps
// Lock, digits and punctuation with and without Shift, Enter 13, Tab 9, Backspace 8, Escape 27,
// Space, and Ctrl+letter the control codes 1..26 (Ctrl+[ 27, Ctrl+\ 28, Ctrl+] 29, Ctrl+Space 32,
// Ctrl+Enter 10, Ctrl+Backspace 127, Ctrl+Escape 27); with Shift as well, Control gives the
// letters' codes, Ctrl+Shift+6 30 and Ctrl+Shift+- 31, and nothing else; a key that makes no
// character gives 0. CharToKey is its inverse for the characters a keyboard types: the key and
// whether Shift produces it (or Control for a control code).
//
// The keypad: "/", "*", "-" and "+" (VK_DIVIDE, VK_MULTIPLY, VK_SUBTRACT, VK_ADD) always type
// their characters; the digits and the decimal point (VK_NUMPAD0..VK_NUMPAD9, VK_DECIMAL) type
// theirs while Num Lock is on and are navigation keys without a character while it is off; with
// Control the keypad types nothing. Keypad Enter is VK_RETURN (extended) and types 13. Pure.
#pragma once

#include "platform/user/virtual_keys.h"

#include <cstdint>
#include <optional>

namespace quill::user {

struct KeyStroke {
    std::uint8_t Key = 0;
    bool Shift = false;
    bool Control = false;
};

// The character of `key` with the given modifier and lock state; 0 when it makes none.
char KeyToChar(std::uint8_t key, bool shift, bool capsLock, bool control, bool numLock = false);
// True for the keypad's digit keys VK_NUMPAD0..VK_NUMPAD9.
constexpr bool IsKeypadDigit(std::uint8_t key) {
    return key >= VK_NUMPAD0 && key <= VK_NUMPAD9;
}
// The keystroke that types `c`, or nothing for a character the layout cannot type.
std::optional<KeyStroke> CharToKey(char c);

} // namespace quill::user
