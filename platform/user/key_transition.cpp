// How a press or release changes a 256-byte key state: the same on every system (the Linux input
// path and thread state use it, and on Windows the state a keyboard hook reads).
#include "platform/user/key_state.h"

#include "platform/user/virtual_keys.h"

namespace quill::user {

namespace {

void SetEntry(BYTE* state, BYTE key, bool down) {
    BYTE& entry = state[key];
    // The toggle flips on a press, not on the repeats of a key held down.
    if (down && !(entry & 0x80)) entry ^= 0x01;
    entry = down ? static_cast<BYTE>(entry | 0x80) : static_cast<BYTE>(entry & ~0x80);
}

} // namespace

namespace [[gnu::visibility("hidden")]] detail {

TKeyIdentity ResolveKey(BYTE virtualKey, BYTE scanCode, bool extended) {
    switch (virtualKey) {
    case VK_SHIFT:
        // A right Shift entered without a scan code carries the extended flag instead.
        return {VK_SHIFT, scanCode == 0x36 || (scanCode == 0 && extended) ? VK_RSHIFT : VK_LSHIFT};
    case VK_CONTROL:
        return {VK_CONTROL, extended ? VK_RCONTROL : VK_LCONTROL};
    case VK_MENU:
        return {VK_MENU, extended ? VK_RMENU : VK_LMENU};
    case VK_LSHIFT:
    case VK_RSHIFT:
        return {VK_SHIFT, virtualKey};
    case VK_LCONTROL:
    case VK_RCONTROL:
        return {VK_CONTROL, virtualKey};
    case VK_LMENU:
    case VK_RMENU:
        return {VK_MENU, virtualKey};
    default:
        return {virtualKey, 0};
    }
}

void ApplyKey(BYTE* state, TKeyIdentity key, bool down) {
    if (!key.Sided) {
        SetEntry(state, key.Generic, down);
        return;
    }
    SetEntry(state, key.Sided, down);
    // The sided codes come in left/right pairs that differ in the lowest bit.
    const BYTE other = static_cast<BYTE>(key.Sided ^ 1);
    SetEntry(state, key.Generic, ((state[key.Sided] | state[other]) & 0x80) != 0);
}

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::user
