// The US English keyboard layout ("00000409"): virtual keys to characters and back.
//
// KeyToChar is what ToAsciiEx gives for one key with that layout: letters with Shift and Caps
// Lock, digits and punctuation with and without Shift, Enter 13, Tab 9, Backspace 8, Escape 27,
// Space, and Ctrl+letter the control codes 1..26 (Ctrl+[ 27, Ctrl+\ 28, Ctrl+] 29, Ctrl+Space 32);
// a key that makes no character gives 0. CharToKey is its inverse for the characters a keyboard
// types: the key and whether Shift produces it (or Control for a control code). Pure.
#pragma once

#include <cstdint>
#include <optional>

namespace quill::user {

constexpr std::uint8_t VK_BACK = 0x08;
constexpr std::uint8_t VK_TAB = 0x09;
constexpr std::uint8_t VK_RETURN = 0x0D;
constexpr std::uint8_t VK_SHIFT = 0x10;
constexpr std::uint8_t VK_CONTROL = 0x11;
constexpr std::uint8_t VK_MENU = 0x12;
constexpr std::uint8_t VK_CAPITAL = 0x14;
constexpr std::uint8_t VK_ESCAPE = 0x1B;
constexpr std::uint8_t VK_SPACE = 0x20;
constexpr std::uint8_t VK_LEFT = 0x25;
constexpr std::uint8_t VK_UP = 0x26;
constexpr std::uint8_t VK_RIGHT = 0x27;
constexpr std::uint8_t VK_DOWN = 0x28;
constexpr std::uint8_t VK_F1 = 0x70;
constexpr std::uint8_t VK_LSHIFT = 0xA0;
constexpr std::uint8_t VK_RSHIFT = 0xA1;
constexpr std::uint8_t VK_LCONTROL = 0xA2;
constexpr std::uint8_t VK_RCONTROL = 0xA3;
constexpr std::uint8_t VK_LMENU = 0xA4;
constexpr std::uint8_t VK_RMENU = 0xA5;

struct KeyStroke {
    std::uint8_t Key = 0;
    bool Shift = false;
    bool Control = false;
};

// The character of `key` with the given modifier and lock state; 0 when it makes none.
char KeyToChar(std::uint8_t key, bool shift, bool capsLock, bool control);
// The keystroke that types `c`, or nothing for a character the layout cannot type.
std::optional<KeyStroke> CharToKey(char c);

} // namespace quill::user
