// Held keystrokes: a key-down that the capture held back, with the modifiers it had.
//
// The held list keeps one text line per keystroke in the form "S|C|A|VK|": the Shift, Control and
// Alt flags (1 when that modifier was down, else 0) and the virtual-key code in decimal, each
// followed by "|". A Shift+A key-down is held as "1|0|0|65|" and a plain Enter as "0|0|0|13|".
// What the four fields cannot say follows in two more fields, written only when needed: the sides
// and the key's extended flag as a number (1 right-hand Shift, 2 right-hand Control, 4 right-hand
// Alt, 8 extended key, 16 Caps Lock on for a letter, 32 Num Lock on for a keypad digit or point),
// and keypad digits typed while Alt was held: for a character entered as an Alt code (key 18)
// the digits of its code, for any other key the digits of an Alt code that this key abandoned,
// typed before it. A right-hand Shift+A is "1|0|0|65|1|", keypad Enter "0|0|0|13|8|", a with
// Caps Lock on "0|0|0|65|16|", the Alt code 0052 "0|0|1|18|0|0052|", and X typed after the
// abandoned digits 4 and 3 "0|0|1|88|0|43|".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quill::capture {

struct HeldKey {
    bool Shift = false;
    bool Control = false;
    bool Alt = false;
    std::uint16_t Key = 0; // virtual-key code
    // The side of each modifier that was down: the right-hand key when set, else the left one.
    bool RightShift = false;
    bool RightControl = false;
    bool RightAlt = false;
    bool Extended = false; // the key's own extended flag (keypad Enter, the navigation block)
    // Keypad digits typed while Alt was held: for a character entered as an Alt code (Key is
    // VK_MENU) the digits of its code; for another key those of an Alt code it abandoned, which
    // reach the application before the key and make no character.
    std::string AltDigits;
    // The lock states the key's character depends on, as they were when it was typed: Caps Lock
    // for a letter, Num Lock for a keypad digit or point (kept only for such keys).
    bool CapsLock = false;
    bool NumLock = false;

    friend bool operator==(const HeldKey&, const HeldKey&) = default;
};

// Whether Caps Lock, or Num Lock, changes the character of `key`.
bool CapsLockMatters(std::uint16_t key);
bool NumLockMatters(std::uint16_t key);

std::string HeldKeyLine(const HeldKey& key);
// Field `n` of a held-key line, counted from 1 (a missing final "|" is supplied first); empty when
// the line has fewer than `n` fields.
std::string HeldKeyField(std::string_view line, int n);
// The keystroke a line describes; a field that is no integer counts as 0.
HeldKey ParseHeldKeyLine(std::string_view line);

} // namespace quill::capture
