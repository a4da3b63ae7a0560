// X11 keysyms as the physical keys of the US keyboard that type them.
//
// A toolkit on X11 names a key event by its keysym, which already depends on Shift ("a" or "A",
// "1" or "!") and on Num Lock (KP_1 or KP_End). The input path wants the physical key: the
// modifiers travel as key events of their own. KeysymToEvdevKey gives the Linux key code of the
// key that types the keysym on the US layout, so that one table (evdev_keymap.h) turns every
// source into virtual keys: printable ASCII (both cases, and the shifted punctuation on its
// unshifted key), the editing and navigation keys, the keypad in both Num Lock states, F1-F24,
// the left and right modifiers (AltGr as the right Alt), the lock keys and the Windows and menu
// keys. Keysyms of other layouts, dead keys, multimedia keys and input-method keysyms give
// nothing. Pure and thread-safe.
#pragma once

#include <cstdint>
#include <optional>

namespace quill::user {

std::optional<std::uint16_t> KeysymToEvdevKey(std::uint32_t keysym);

} // namespace quill::user
