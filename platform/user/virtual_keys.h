// The platform's virtual-key codes that the input path, the layout and the capture name.
//
// VK_SHIFT, VK_CONTROL and VK_MENU are the generic modifiers that key messages carry; the sided
// codes (VK_LSHIFT...) name the left or right key. The keypad has codes of its own (VK_NUMPAD0...,
// VK_DECIMAL, VK_ADD...): whether a keypad key types a digit depends on Num Lock, which the
// conversion reads (us_layout.h). Keypad Enter is VK_RETURN with the extended flag.
#pragma once

#include <cstdint>

namespace quill::user {

constexpr std::uint8_t VK_BACK = 0x08;
constexpr std::uint8_t VK_TAB = 0x09;
constexpr std::uint8_t VK_CLEAR = 0x0C; // keypad 5 with Num Lock off
constexpr std::uint8_t VK_RETURN = 0x0D;
constexpr std::uint8_t VK_SHIFT = 0x10;
constexpr std::uint8_t VK_CONTROL = 0x11;
constexpr std::uint8_t VK_MENU = 0x12;
constexpr std::uint8_t VK_PAUSE = 0x13;
constexpr std::uint8_t VK_CAPITAL = 0x14;
constexpr std::uint8_t VK_ESCAPE = 0x1B;
constexpr std::uint8_t VK_SPACE = 0x20;
constexpr std::uint8_t VK_PRIOR = 0x21;
constexpr std::uint8_t VK_NEXT = 0x22;
constexpr std::uint8_t VK_END = 0x23;
constexpr std::uint8_t VK_HOME = 0x24;
constexpr std::uint8_t VK_LEFT = 0x25;
constexpr std::uint8_t VK_UP = 0x26;
constexpr std::uint8_t VK_RIGHT = 0x27;
constexpr std::uint8_t VK_DOWN = 0x28;
constexpr std::uint8_t VK_SNAPSHOT = 0x2C;
constexpr std::uint8_t VK_INSERT = 0x2D;
constexpr std::uint8_t VK_DELETE = 0x2E;
constexpr std::uint8_t VK_LWIN = 0x5B;
constexpr std::uint8_t VK_RWIN = 0x5C;
constexpr std::uint8_t VK_APPS = 0x5D;
constexpr std::uint8_t VK_NUMPAD0 = 0x60; // VK_NUMPAD1..VK_NUMPAD9 follow in order
constexpr std::uint8_t VK_NUMPAD9 = 0x69;
constexpr std::uint8_t VK_MULTIPLY = 0x6A;
constexpr std::uint8_t VK_ADD = 0x6B;
constexpr std::uint8_t VK_SUBTRACT = 0x6D;
constexpr std::uint8_t VK_DECIMAL = 0x6E;
constexpr std::uint8_t VK_DIVIDE = 0x6F;
constexpr std::uint8_t VK_F1 = 0x70; // VK_F2..VK_F24 follow in order
constexpr std::uint8_t VK_F24 = 0x87;
constexpr std::uint8_t VK_NUMLOCK = 0x90;
constexpr std::uint8_t VK_SCROLL = 0x91;
constexpr std::uint8_t VK_LSHIFT = 0xA0;
constexpr std::uint8_t VK_RSHIFT = 0xA1;
constexpr std::uint8_t VK_LCONTROL = 0xA2;
constexpr std::uint8_t VK_RCONTROL = 0xA3;
constexpr std::uint8_t VK_LMENU = 0xA4;
constexpr std::uint8_t VK_RMENU = 0xA5;
constexpr std::uint8_t VK_OEM_1 = 0xBA;      // ; :
constexpr std::uint8_t VK_OEM_PLUS = 0xBB;   // = +
constexpr std::uint8_t VK_OEM_COMMA = 0xBC;  // , <
constexpr std::uint8_t VK_OEM_MINUS = 0xBD;  // - _
constexpr std::uint8_t VK_OEM_PERIOD = 0xBE; // . >
constexpr std::uint8_t VK_OEM_2 = 0xBF;      // / ?
constexpr std::uint8_t VK_OEM_3 = 0xC0;      // ` ~
constexpr std::uint8_t VK_OEM_4 = 0xDB;      // [ {
constexpr std::uint8_t VK_OEM_5 = 0xDC;      // \ |
constexpr std::uint8_t VK_OEM_6 = 0xDD;      // ] }
constexpr std::uint8_t VK_OEM_7 = 0xDE;      // ' "
constexpr std::uint8_t VK_OEM_102 = 0xE2;    // the extra key beside the left Shift

} // namespace quill::user
