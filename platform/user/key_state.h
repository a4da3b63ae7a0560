// Key state: which keys are down, as the input path sees them and as a thread has seen them.
//
// The asynchronous state (GetAsyncKeyState, keyboard_input.h) changes when the input path takes a
// key event. A thread's own state changes when a key message leaves its queue: when GetMessage or
// PeekMessage with PM_REMOVE retrieves it, or when a keyboard hook discards it. The change comes
// before the thread's keyboard hooks see the message, so a hook reads the key it is called for as
// down on a key-down, and a key-down that a hook discards still counts. Each entry keeps the
// platform's form: bit 0x80 while the key is down, bit 0x01 toggled on every press (the Caps Lock
// state for VK_CAPITAL). VK_SHIFT, VK_CONTROL and VK_MENU are down while either of their left and
// right keys is; the sided keys (VK_LSHIFT...) are kept too.
//
// Thread-safe; a thread's state is its own and starts all up.
//
// On Windows the state is the system's. Inside a keyboard hook procedure the key it is called for
// is applied to it by this layer, as not every system (Wine) has applied it yet at that point.
#pragma once

#include "platform/user/user_types.h"

#include <cstdint>

namespace quill::user {

using BYTE = std::uint8_t;
using SHORT = std::int16_t;

// Negative while `virtualKey` is down in the calling thread's state (the low byte then has bit
// 0x80); bit 0x01 is the toggle. 0 for a code outside 0..255.
SHORT GetKeyState(int virtualKey);
// Copies the calling thread's 256 key-state bytes; FALSE for a nil `keyState`.
BOOL GetKeyboardState(BYTE* keyState);

namespace [[gnu::visibility("hidden")]] detail {

// A key as the state tracks it: the generic code and, for Shift, Control and Alt, the side.
struct TKeyIdentity {
    BYTE Generic = 0;
    BYTE Sided = 0; // 0 for keys without sides
};

// The key an event or message names: a generic modifier takes its side from the scan code
// (0x36 is the right Shift; scan code 0 with the extended flag too, as the input path enters a
// right Shift that has none) or the extended flag (right Control and Alt); left otherwise.
TKeyIdentity ResolveKey(BYTE virtualKey, BYTE scanCode, bool extended);
// Applies a press or release of `key` to a 256-byte state.
void ApplyKey(BYTE* state, TKeyIdentity key, bool down);
// Applies a retrieved key message to the calling thread's state.
void ApplyKeyMessage(const MSG& msg);

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::user
