#include "platform/user/keysym_keys.h"

#include <algorithm>
#include <array>
#include <linux/input-event-codes.h>

namespace quill::user {

namespace {

// The keys of printable ASCII 0x20..0x7E on the US layout, in character order.
constexpr std::array<std::uint16_t, 95> kAsciiKeys = {
    KEY_SPACE,     KEY_1,          KEY_APOSTROPHE, KEY_3,          KEY_4,     KEY_5,
    KEY_7,         KEY_APOSTROPHE, KEY_9,          KEY_0,          KEY_8,     KEY_EQUAL,
    KEY_COMMA,     KEY_MINUS,      KEY_DOT,        KEY_SLASH,      KEY_0,     KEY_1,
    KEY_2,         KEY_3,          KEY_4,          KEY_5,          KEY_6,     KEY_7,
    KEY_8,         KEY_9,          KEY_SEMICOLON,  KEY_SEMICOLON,  KEY_COMMA, KEY_EQUAL,
    KEY_DOT,       KEY_SLASH,      KEY_2,          KEY_A,          KEY_B,     KEY_C,
    KEY_D,         KEY_E,          KEY_F,          KEY_G,          KEY_H,     KEY_I,
    KEY_J,         KEY_K,          KEY_L,          KEY_M,          KEY_N,     KEY_O,
    KEY_P,         KEY_Q,          KEY_R,          KEY_S,          KEY_T,     KEY_U,
    KEY_V,         KEY_W,          KEY_X,          KEY_Y,          KEY_Z,     KEY_LEFTBRACE,
    KEY_BACKSLASH, KEY_RIGHTBRACE, KEY_6,          KEY_MINUS,      KEY_GRAVE, KEY_A,
    KEY_B,         KEY_C,          KEY_D,          KEY_E,          KEY_F,     KEY_G,
    KEY_H,         KEY_I,          KEY_J,          KEY_K,          KEY_L,     KEY_M,
    KEY_N,         KEY_O,          KEY_P,          KEY_Q,          KEY_R,     KEY_S,
    KEY_T,         KEY_U,          KEY_V,          KEY_W,          KEY_X,     KEY_Y,
    KEY_Z,         KEY_LEFTBRACE,  KEY_BACKSLASH,  KEY_RIGHTBRACE, KEY_GRAVE};

struct TFunctionKeysym {
    std::uint32_t Keysym;
    std::uint16_t Key;
};

// The keysyms of the function, editing, keypad and modifier keys (X11's 0xFExx and 0xFFxx
// ranges), in keysym order for the binary search.
constexpr TFunctionKeysym kFunctionKeys[] = {
    {0xFE03, KEY_RIGHTALT},   // ISO_Level3_Shift (AltGr)
    {0xFE20, KEY_TAB},        // ISO_Left_Tab (Shift+Tab)
    {0xFF08, KEY_BACKSPACE},  // BackSpace
    {0xFF09, KEY_TAB},        // Tab
    {0xFF0D, KEY_ENTER},      // Return
    {0xFF13, KEY_PAUSE},      // Pause
    {0xFF14, KEY_SCROLLLOCK}, // Scroll_Lock
    {0xFF15, KEY_SYSRQ},      // Sys_Req
    {0xFF1B, KEY_ESC},        // Escape
    {0xFF50, KEY_HOME},       // Home
    {0xFF51, KEY_LEFT},       // Left
    {0xFF52, KEY_UP},         // Up
    {0xFF53, KEY_RIGHT},      // Right
    {0xFF54, KEY_DOWN},       // Down
    {0xFF55, KEY_PAGEUP},     // Prior
    {0xFF56, KEY_PAGEDOWN},   // Next
    {0xFF57, KEY_END},        // End
    {0xFF61, KEY_SYSRQ},      // Print
    {0xFF63, KEY_INSERT},     // Insert
    {0xFF67, KEY_COMPOSE},    // Menu
    {0xFF6B, KEY_PAUSE},      // Break
    {0xFF7F, KEY_NUMLOCK},    // Num_Lock
    {0xFF8D, KEY_KPENTER},    // KP_Enter
    {0xFF95, KEY_KP7},        // KP_Home
    {0xFF96, KEY_KP4},        // KP_Left
    {0xFF97, KEY_KP8},        // KP_Up
    {0xFF98, KEY_KP6},        // KP_Right
    {0xFF99, KEY_KP2},        // KP_Down
    {0xFF9A, KEY_KP9},        // KP_Prior
    {0xFF9B, KEY_KP3},        // KP_Next
    {0xFF9C, KEY_KP1},        // KP_End
    {0xFF9D, KEY_KP5},        // KP_Begin
    {0xFF9E, KEY_KP0},        // KP_Insert
    {0xFF9F, KEY_KPDOT},      // KP_Delete
    {0xFFAA, KEY_KPASTERISK}, // KP_Multiply
    {0xFFAB, KEY_KPPLUS},     // KP_Add
    {0xFFAD, KEY_KPMINUS},    // KP_Subtract
    {0xFFAE, KEY_KPDOT},      // KP_Decimal
    {0xFFAF, KEY_KPSLASH},    // KP_Divide
    {0xFFB0, KEY_KP0},        {0xFFB1, KEY_KP1}, {0xFFB2, KEY_KP2}, {0xFFB3, KEY_KP3},
    {0xFFB4, KEY_KP4},        {0xFFB5, KEY_KP5}, {0xFFB6, KEY_KP6}, {0xFFB7, KEY_KP7},
    {0xFFB8, KEY_KP8},        {0xFFB9, KEY_KP9}, // KP_0..KP_9
    {0xFFBE, KEY_F1},         {0xFFBF, KEY_F2},  {0xFFC0, KEY_F3},  {0xFFC1, KEY_F4},
    {0xFFC2, KEY_F5},         {0xFFC3, KEY_F6},  {0xFFC4, KEY_F7},  {0xFFC5, KEY_F8},
    {0xFFC6, KEY_F9},         {0xFFC7, KEY_F10}, {0xFFC8, KEY_F11}, {0xFFC9, KEY_F12},
    {0xFFCA, KEY_F13},        {0xFFCB, KEY_F14}, {0xFFCC, KEY_F15}, {0xFFCD, KEY_F16},
    {0xFFCE, KEY_F17},        {0xFFCF, KEY_F18}, {0xFFD0, KEY_F19}, {0xFFD1, KEY_F20},
    {0xFFD2, KEY_F21},        {0xFFD3, KEY_F22}, {0xFFD4, KEY_F23}, {0xFFD5, KEY_F24},
    {0xFFE1, KEY_LEFTSHIFT},  // Shift_L
    {0xFFE2, KEY_RIGHTSHIFT}, // Shift_R
    {0xFFE3, KEY_LEFTCTRL},   // Control_L
    {0xFFE4, KEY_RIGHTCTRL},  // Control_R
    {0xFFE5, KEY_CAPSLOCK},   // Caps_Lock
    {0xFFE9, KEY_LEFTALT},    // Alt_L
    {0xFFEA, KEY_RIGHTALT},   // Alt_R
    {0xFFEB, KEY_LEFTMETA},   // Super_L
    {0xFFEC, KEY_RIGHTMETA},  // Super_R
    {0xFFFF, KEY_DELETE},     // Delete
};

constexpr bool Sorted() {
    for (std::size_t i = 1; i < std::size(kFunctionKeys); ++i)
        if (kFunctionKeys[i - 1].Keysym >= kFunctionKeys[i].Keysym) return false;
    return true;
}
static_assert(Sorted(), "the binary search needs the keysyms in order");

} // namespace

std::optional<std::uint16_t> KeysymToEvdevKey(std::uint32_t keysym) {
    // Latin-1 keysyms are their character codes.
    if (keysym >= 0x20 && keysym <= 0x7E) return kAsciiKeys[keysym - 0x20];
    const auto* end = std::end(kFunctionKeys);
    const auto* it = std::lower_bound(
        std::begin(kFunctionKeys), end, keysym,
        [](const TFunctionKeysym& entry, std::uint32_t value) { return entry.Keysym < value; });
    if (it == end || it->Keysym != keysym) return std::nullopt;
    return it->Key;
}

} // namespace quill::user
