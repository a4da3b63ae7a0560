#include "platform/user/evdev_keymap.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/us_layout.h"

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>
#include <map>
#include <string>
#include <utility>

namespace quill::user::testing {
namespace {

char Typed(std::uint16_t code, bool shift) {
    const auto key = EvdevKeyToVirtualKey(code);
    if (!key) return '?';
    return KeyToChar(key->VirtualKey, shift, false, false);
}

// The main block types what its keycaps show, plain and with Shift.
TEST(EvdevKeymap, MainBlockTypesItsLegends) {
    const std::pair<std::uint16_t, std::string> rows[] = {
        {KEY_GRAVE, "`~"},      {KEY_1, "1!"},           {KEY_2, "2@"},
        {KEY_5, "5%"},          {KEY_9, "9("},           {KEY_0, "0)"},
        {KEY_MINUS, "-_"},      {KEY_EQUAL, "=+"},       {KEY_Q, "qQ"},
        {KEY_P, "pP"},          {KEY_LEFTBRACE, "[{"},   {KEY_RIGHTBRACE, "]}"},
        {KEY_BACKSLASH, "\\|"}, {KEY_A, "aA"},           {KEY_L, "lL"},
        {KEY_SEMICOLON, ";:"},  {KEY_APOSTROPHE, "'\""}, {KEY_Z, "zZ"},
        {KEY_M, "mM"},          {KEY_COMMA, ",<"},       {KEY_DOT, ".>"},
        {KEY_SLASH, "/?"},      {KEY_SPACE, "  "},       {KEY_ENTER, "\r\r"},
        {KEY_TAB, "\t\t"},      {KEY_BACKSPACE, "\b\b"}, {KEY_ESC, "\x1b\x1b"},
    };
    for (const auto& [code, legend] : rows) {
        EXPECT_EQ(Typed(code, false), legend[0]) << "code " << code;
        EXPECT_EQ(Typed(code, true), legend[1]) << "code " << code;
    }
    const std::string letters = "QWERTYUIOPASDFGHJKLZXCVBNM";
    const std::uint16_t codes[] = {KEY_Q, KEY_W, KEY_E, KEY_R, KEY_T, KEY_Y, KEY_U, KEY_I, KEY_O,
                                   KEY_P, KEY_A, KEY_S, KEY_D, KEY_F, KEY_G, KEY_H, KEY_J, KEY_K,
                                   KEY_L, KEY_Z, KEY_X, KEY_C, KEY_V, KEY_B, KEY_N, KEY_M};
    for (std::size_t i = 0; i < letters.size(); ++i)
        EXPECT_EQ(Typed(codes[i], true), letters[i]);
}

TEST(EvdevKeymap, KeypadModifiersLocksFunctionAndNavigationKeys) {
    using K = TEvdevKey;
    const std::pair<std::uint16_t, K> rows[] = {
        {KEY_KP0, {VK_NUMPAD0, 0x52, false}},
        {KEY_KP7, {VK_NUMPAD0 + 7, 0x47, false}},
        {KEY_KP9, {VK_NUMPAD9, 0x49, false}},
        {KEY_KPDOT, {VK_DECIMAL, 0x53, false}},
        {KEY_KPPLUS, {VK_ADD, 0x4E, false}},
        {KEY_KPMINUS, {VK_SUBTRACT, 0x4A, false}},
        {KEY_KPASTERISK, {VK_MULTIPLY, 0x37, false}},
        {KEY_KPSLASH, {VK_DIVIDE, 0x35, true}},
        {KEY_KPENTER, {VK_RETURN, 0x1C, true}},
        {KEY_LEFTSHIFT, {VK_LSHIFT, 0x2A, false}},
        {KEY_RIGHTSHIFT, {VK_RSHIFT, 0x36, false}},
        {KEY_LEFTCTRL, {VK_LCONTROL, 0x1D, false}},
        {KEY_RIGHTCTRL, {VK_RCONTROL, 0x1D, true}},
        {KEY_LEFTALT, {VK_LMENU, 0x38, false}},
        {KEY_RIGHTALT, {VK_RMENU, 0x38, true}},
        {KEY_CAPSLOCK, {VK_CAPITAL, 0x3A, false}},
        {KEY_NUMLOCK, {VK_NUMLOCK, 0x45, true}},
        {KEY_SCROLLLOCK, {VK_SCROLL, 0x46, false}},
        {KEY_F1, {VK_F1, 0x3B, false}},
        {KEY_F10, {VK_F1 + 9, 0x44, false}},
        {KEY_F11, {VK_F1 + 10, 0x57, false}},
        {KEY_F12, {VK_F1 + 11, 0x58, false}},
        {KEY_F24, {VK_F24, 0x76, false}},
        {KEY_HOME, {VK_HOME, 0x47, true}},
        {KEY_END, {VK_END, 0x4F, true}},
        {KEY_PAGEUP, {VK_PRIOR, 0x49, true}},
        {KEY_PAGEDOWN, {VK_NEXT, 0x51, true}},
        {KEY_INSERT, {VK_INSERT, 0x52, true}},
        {KEY_DELETE, {VK_DELETE, 0x53, true}},
        {KEY_LEFT, {VK_LEFT, 0x4B, true}},
        {KEY_UP, {VK_UP, 0x48, true}},
        {KEY_RIGHT, {VK_RIGHT, 0x4D, true}},
        {KEY_DOWN, {VK_DOWN, 0x50, true}},
    };
    for (const auto& [code, expected] : rows) {
        const auto key = EvdevKeyToVirtualKey(code);
        ASSERT_TRUE(key) << "code " << code;
        EXPECT_EQ(*key, expected) << "code " << code;
    }
}

// Two physical keys never become one: the input path could not tell them apart.
TEST(EvdevKeymap, DistinctKeysStayDistinctAndUnknownCodesGiveNothing) {
    std::map<std::pair<int, bool>, std::uint16_t> seen;
    int known = 0;
    for (std::uint32_t code = 0; code <= 0xFFFF; ++code) {
        const auto key = EvdevKeyToVirtualKey(static_cast<std::uint16_t>(code));
        if (!key) continue;
        ++known;
        // The numbers 1 to 88 are the scan codes themselves.
        if (code >= 1 && code <= 88) {
            EXPECT_EQ(key->ScanCode, code);
        }
        const auto [it, fresh] = seen.emplace(std::pair{key->VirtualKey, key->Extended}, code);
        EXPECT_TRUE(fresh) << "codes " << it->second << " and " << code;
    }
    EXPECT_GE(known, 104); // the keys of a full-size US keyboard, and F13-F24
    const int unknown[] = {KEY_RESERVED, KEY_MUTE, KEY_KPEQUAL, KEY_KPCOMMA,
                           KEY_UNKNOWN,  BTN_LEFT, KEY_MAX,     0xFFFF};
    for (int code : unknown)
        EXPECT_FALSE(EvdevKeyToVirtualKey(static_cast<std::uint16_t>(code))) << "code " << code;
}

// Every key a keyboard source maps has a scan code, and MapVirtualKeyA gives the same one: a key
// without one would be taken for a program's and never examined by the capture.
TEST(EvdevKeymap, EveryKeyHasTheScanCodeMapVirtualKeyGives) {
    int keys = 0;
    for (std::uint16_t code = 0; code <= KEY_MAX; ++code) {
        const auto key = EvdevKeyToVirtualKey(code);
        if (!key) continue;
        ++keys;
        EXPECT_NE(key->ScanCode, 0) << "key code " << code;
        EXPECT_EQ(MapVirtualKeyA(key->VirtualKey, MAPVK_VK_TO_VSC), key->ScanCode)
            << "key code " << code;
    }
    EXPECT_GT(keys, 100);
    for (int c = 0x20; c < 0x7F; ++c) {
        const auto stroke = CharToKey(static_cast<char>(c));
        ASSERT_TRUE(stroke) << c;
        EXPECT_NE(MapVirtualKeyA(stroke->Key, MAPVK_VK_TO_VSC), 0u) << static_cast<char>(c);
    }
    EXPECT_EQ(MapVirtualKeyA(VK_SHIFT, MAPVK_VK_TO_VSC), 0x2Au); // the left-hand keys'
    EXPECT_EQ(MapVirtualKeyA(VK_RSHIFT, MAPVK_VK_TO_VSC), 0x36u);
    EXPECT_EQ(MapVirtualKeyA(VK_CONTROL, MAPVK_VK_TO_VSC), 0x1Du);
    EXPECT_EQ(MapVirtualKeyA(VK_MENU, MAPVK_VK_TO_VSC), 0x38u);
    EXPECT_EQ(MapVirtualKeyA(VK_RETURN, MAPVK_VK_TO_VSC), 0x1Cu);
    EXPECT_EQ(MapVirtualKeyA(0xFF, MAPVK_VK_TO_VSC), 0u);
    EXPECT_EQ(MapVirtualKeyA(0x1FF, MAPVK_VK_TO_VSC), 0u);
    EXPECT_EQ(MapVirtualKeyA('A', 1), 0u); // no other map type here
}

} // namespace
} // namespace quill::user::testing
