// Keyboard layouts and key-to-character conversion.
//
// The one layout this layer knows is US English, "00000409": LoadKeyboardLayoutA gives its handle
// and refuses any other name (nil, ERROR_INVALID_PARAMETER); it is every thread's active layout,
// so KLF_ACTIVATE changes nothing. ToAsciiEx converts one key with a 256-byte key state in the
// platform's form (key_state.h): bit 0x80 of VK_SHIFT and VK_CONTROL, and the toggle bits 0x01 of
// VK_CAPITAL and VK_NUMLOCK, choose the character as us_layout.h describes. Alt alone does not
// change it, except that a keypad digit with Alt is part of an Alt code (alt_code.h) and makes
// none; Control with Alt (the layout has no AltGr characters) makes none. Pure apart from the
// layout handle.
//
// On Windows these are the system's layouts and conversion: it knows every installed layout, and
// KLF_ACTIVATE makes the layout the calling thread's active one. A nil layout is the calling
// thread's active layout there too.
#pragma once

#include "platform/user/user_types.h"

#include <cstdint>

namespace quill::user {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;

struct HKL__;
using HKL = HKL__*;

constexpr UINT KLF_ACTIVATE = 0x00000001;

// The handle of the layout named by its 8 hexadecimal digits, or nil with the last error set.
HKL LoadKeyboardLayoutA(const char* layoutName, UINT flags);
// The calling thread's active layout: US English.
HKL GetKeyboardLayout(DWORD threadId);

// Writes the character of `virtualKey` with `keyState` to `buffer[0]` and returns 1; returns 0
// (and writes 0 when `buffer` is given) for a key that makes no character, a nil `keyState` or
// `buffer`, or a layout other than US English (nil means the active one). The scan code and
// `flags` are not consulted: the virtual key decides.
int ToAsciiEx(UINT virtualKey, UINT scanCode, const BYTE* keyState, WORD* buffer, UINT flags,
              HKL layout);

} // namespace quill::user
