#include "platform/user/evdev_keymap.h"

#include "platform/user/virtual_keys.h"

#include <array>
#include <linux/input-event-codes.h>

namespace quill::user {

namespace {

struct TEntry {
    std::uint16_t Code;
    TEvdevKey Key;
};

// Keys 1 to 88 are numbered as their set-1 scan codes; the others name theirs here.
constexpr TEntry kKeys[] = {
    {KEY_ESC, {VK_ESCAPE, 0x01, false}},
    {KEY_1, {'1', 0x02, false}},
    {KEY_2, {'2', 0x03, false}},
    {KEY_3, {'3', 0x04, false}},
    {KEY_4, {'4', 0x05, false}},
    {KEY_5, {'5', 0x06, false}},
    {KEY_6, {'6', 0x07, false}},
    {KEY_7, {'7', 0x08, false}},
    {KEY_8, {'8', 0x09, false}},
    {KEY_9, {'9', 0x0A, false}},
    {KEY_0, {'0', 0x0B, false}},
    {KEY_MINUS, {VK_OEM_MINUS, 0x0C, false}},
    {KEY_EQUAL, {VK_OEM_PLUS, 0x0D, false}},
    {KEY_BACKSPACE, {VK_BACK, 0x0E, false}},
    {KEY_TAB, {VK_TAB, 0x0F, false}},
    {KEY_Q, {'Q', 0x10, false}},
    {KEY_W, {'W', 0x11, false}},
    {KEY_E, {'E', 0x12, false}},
    {KEY_R, {'R', 0x13, false}},
    {KEY_T, {'T', 0x14, false}},
    {KEY_Y, {'Y', 0x15, false}},
    {KEY_U, {'U', 0x16, false}},
    {KEY_I, {'I', 0x17, false}},
    {KEY_O, {'O', 0x18, false}},
    {KEY_P, {'P', 0x19, false}},
    {KEY_LEFTBRACE, {VK_OEM_4, 0x1A, false}},
    {KEY_RIGHTBRACE, {VK_OEM_6, 0x1B, false}},
    {KEY_ENTER, {VK_RETURN, 0x1C, false}},
    {KEY_LEFTCTRL, {VK_LCONTROL, 0x1D, false}},
    {KEY_A, {'A', 0x1E, false}},
    {KEY_S, {'S', 0x1F, false}},
    {KEY_D, {'D', 0x20, false}},
    {KEY_F, {'F', 0x21, false}},
    {KEY_G, {'G', 0x22, false}},
    {KEY_H, {'H', 0x23, false}},
    {KEY_J, {'J', 0x24, false}},
    {KEY_K, {'K', 0x25, false}},
    {KEY_L, {'L', 0x26, false}},
    {KEY_SEMICOLON, {VK_OEM_1, 0x27, false}},
    {KEY_APOSTROPHE, {VK_OEM_7, 0x28, false}},
    {KEY_GRAVE, {VK_OEM_3, 0x29, false}},
    {KEY_LEFTSHIFT, {VK_LSHIFT, 0x2A, false}},
    {KEY_BACKSLASH, {VK_OEM_5, 0x2B, false}},
    {KEY_Z, {'Z', 0x2C, false}},
    {KEY_X, {'X', 0x2D, false}},
    {KEY_C, {'C', 0x2E, false}},
    {KEY_V, {'V', 0x2F, false}},
    {KEY_B, {'B', 0x30, false}},
    {KEY_N, {'N', 0x31, false}},
    {KEY_M, {'M', 0x32, false}},
    {KEY_COMMA, {VK_OEM_COMMA, 0x33, false}},
    {KEY_DOT, {VK_OEM_PERIOD, 0x34, false}},
    {KEY_SLASH, {VK_OEM_2, 0x35, false}},
    {KEY_RIGHTSHIFT, {VK_RSHIFT, 0x36, false}},
    {KEY_KPASTERISK, {VK_MULTIPLY, 0x37, false}},
    {KEY_LEFTALT, {VK_LMENU, 0x38, false}},
    {KEY_SPACE, {VK_SPACE, 0x39, false}},
    {KEY_CAPSLOCK, {VK_CAPITAL, 0x3A, false}},
    {KEY_F1, {VK_F1 + 0, 0x3B, false}},
    {KEY_F2, {VK_F1 + 1, 0x3C, false}},
    {KEY_F3, {VK_F1 + 2, 0x3D, false}},
    {KEY_F4, {VK_F1 + 3, 0x3E, false}},
    {KEY_F5, {VK_F1 + 4, 0x3F, false}},
    {KEY_F6, {VK_F1 + 5, 0x40, false}},
    {KEY_F7, {VK_F1 + 6, 0x41, false}},
    {KEY_F8, {VK_F1 + 7, 0x42, false}},
    {KEY_F9, {VK_F1 + 8, 0x43, false}},
    {KEY_F10, {VK_F1 + 9, 0x44, false}},
    {KEY_NUMLOCK, {VK_NUMLOCK, 0x45, true}},
    {KEY_SCROLLLOCK, {VK_SCROLL, 0x46, false}},
    {KEY_KP7, {VK_NUMPAD0 + 7, 0x47, false}},
    {KEY_KP8, {VK_NUMPAD0 + 8, 0x48, false}},
    {KEY_KP9, {VK_NUMPAD0 + 9, 0x49, false}},
    {KEY_KPMINUS, {VK_SUBTRACT, 0x4A, false}},
    {KEY_KP4, {VK_NUMPAD0 + 4, 0x4B, false}},
    {KEY_KP5, {VK_NUMPAD0 + 5, 0x4C, false}},
    {KEY_KP6, {VK_NUMPAD0 + 6, 0x4D, false}},
    {KEY_KPPLUS, {VK_ADD, 0x4E, false}},
    {KEY_KP1, {VK_NUMPAD0 + 1, 0x4F, false}},
    {KEY_KP2, {VK_NUMPAD0 + 2, 0x50, false}},
    {KEY_KP3, {VK_NUMPAD0 + 3, 0x51, false}},
    {KEY_KP0, {VK_NUMPAD0 + 0, 0x52, false}},
    {KEY_KPDOT, {VK_DECIMAL, 0x53, false}},
    {KEY_102ND, {VK_OEM_102, 0x56, false}},
    {KEY_F11, {VK_F1 + 10, 0x57, false}},
    {KEY_F12, {VK_F1 + 11, 0x58, false}},
    {KEY_KPENTER, {VK_RETURN, 0x1C, true}},
    {KEY_RIGHTCTRL, {VK_RCONTROL, 0x1D, true}},
    {KEY_KPSLASH, {VK_DIVIDE, 0x35, true}},
    {KEY_SYSRQ, {VK_SNAPSHOT, 0x37, true}},
    {KEY_RIGHTALT, {VK_RMENU, 0x38, true}},
    {KEY_HOME, {VK_HOME, 0x47, true}},
    {KEY_UP, {VK_UP, 0x48, true}},
    {KEY_PAGEUP, {VK_PRIOR, 0x49, true}},
    {KEY_LEFT, {VK_LEFT, 0x4B, true}},
    {KEY_RIGHT, {VK_RIGHT, 0x4D, true}},
    {KEY_END, {VK_END, 0x4F, true}},
    {KEY_DOWN, {VK_DOWN, 0x50, true}},
    {KEY_PAGEDOWN, {VK_NEXT, 0x51, true}},
    {KEY_INSERT, {VK_INSERT, 0x52, true}},
    {KEY_DELETE, {VK_DELETE, 0x53, true}},
    {KEY_PAUSE, {VK_PAUSE, 0x45, false}},
    {KEY_LEFTMETA, {VK_LWIN, 0x5B, true}},
    {KEY_RIGHTMETA, {VK_RWIN, 0x5C, true}},
    {KEY_COMPOSE, {VK_APPS, 0x5D, true}},
    {KEY_F13, {VK_F1 + 12, 0x64, false}},
    {KEY_F14, {VK_F1 + 13, 0x65, false}},
    {KEY_F15, {VK_F1 + 14, 0x66, false}},
    {KEY_F16, {VK_F1 + 15, 0x67, false}},
    {KEY_F17, {VK_F1 + 16, 0x68, false}},
    {KEY_F18, {VK_F1 + 17, 0x69, false}},
    {KEY_F19, {VK_F1 + 18, 0x6A, false}},
    {KEY_F20, {VK_F1 + 19, 0x6B, false}},
    {KEY_F21, {VK_F1 + 20, 0x6C, false}},
    {KEY_F22, {VK_F1 + 21, 0x6D, false}},
    {KEY_F23, {VK_F1 + 22, 0x6E, false}},
    {KEY_F24, {VK_F1 + 23, 0x76, false}},
};

// Indexed by evdev code; VirtualKey 0 marks a code that is no key of the US keyboard.
constexpr std::size_t kTableSize = KEY_F24 + 1;

constexpr std::array<TEvdevKey, kTableSize> BuildTable() {
    std::array<TEvdevKey, kTableSize> table{};
    for (const TEntry& entry : kKeys)
        table[entry.Code] = entry.Key;
    return table;
}

constexpr auto kTable = BuildTable();

} // namespace

std::optional<TEvdevKey> EvdevKeyToVirtualKey(std::uint16_t evdevCode) {
    if (evdevCode >= kTable.size() || kTable[evdevCode].VirtualKey == 0) return std::nullopt;
    return kTable[evdevCode];
}

} // namespace quill::user
