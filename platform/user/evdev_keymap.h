// Linux evdev key codes (KEY_* of <linux/input-event-codes.h>) as the platform's keys.
//
// A keyboard device on Linux reports physical keys by evdev code; the input path takes virtual
// keys with the set-1 scan code and the extended flag (keyboard_input.h). EvdevKeyToVirtualKey
// gives that triple for the whole US keyboard: the main block, the keypad (its own virtual keys,
// whatever Num Lock says: the conversion reads Num Lock, us_layout.h), the left and right
// modifiers as sided virtual keys (the right Control and Alt extended), the lock keys, the
// function keys F1-F24 and the navigation block (extended, as the keys beside the keypad are).
// A code that is no key of that keyboard gives nothing. Pure and thread-safe.
#pragma once

#include <cstdint>
#include <optional>

namespace quill::user {

struct TEvdevKey {
    std::uint8_t VirtualKey = 0;
    std::uint8_t ScanCode = 0; // set 1, without the 0xE0 prefix of extended keys
    bool Extended = false;

    friend bool operator==(const TEvdevKey&, const TEvdevKey&) = default;
};

std::optional<TEvdevKey> EvdevKeyToVirtualKey(std::uint16_t evdevCode);

} // namespace quill::user
