#include "platform/user/key_state.h"

#include "platform/user/us_layout.h"
#include "platform/user/user_state_impl.h"

#include <array>
#include <cstring>

namespace quill::user {

namespace {

thread_local std::array<BYTE, 256> tThreadState{};

void SetEntry(BYTE* state, BYTE key, bool down) {
    BYTE& entry = state[key];
    // The toggle flips on a press, not on the repeats of a key held down.
    if (down && !(entry & 0x80)) entry ^= 0x01;
    entry = down ? static_cast<BYTE>(entry | 0x80) : static_cast<BYTE>(entry & ~0x80);
}

SHORT AsShort(BYTE entry) {
    // Down gives a negative value whose low byte keeps bit 0x80, as callers test either way.
    return static_cast<SHORT>(((entry & 0x80) ? 0xFF80 : 0) | (entry & 0x01));
}

} // namespace

namespace [[gnu::visibility("hidden")]] detail {

TKeyIdentity ResolveKey(BYTE virtualKey, BYTE scanCode, bool extended) {
    switch (virtualKey) {
    case VK_SHIFT:
        return {VK_SHIFT, scanCode == 0x36 ? VK_RSHIFT : VK_LSHIFT};
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

void ApplyKeyMessage(const MSG& msg) {
    const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    const auto flags = static_cast<std::uint32_t>(msg.lParam);
    const TKeyIdentity key = ResolveKey(static_cast<BYTE>(msg.wParam),
                                        static_cast<BYTE>(flags >> 16), (flags >> 24) & 1);
    ApplyKey(tThreadState.data(), key, down);
}

} // namespace gnu::visibility("hidden")]]detail

SHORT GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    return AsShort(tThreadState[static_cast<std::size_t>(virtualKey)]);
}

BOOL GetKeyboardState(BYTE* keyState) {
    if (!keyState) return FALSE;
    std::memcpy(keyState, tThreadState.data(), tThreadState.size());
    return TRUE;
}

} // namespace quill::user
