#include "platform/user/key_state.h"

#include "platform/user/user_state_impl.h"

#include <array>
#include <cstring>

namespace quill::user {

namespace {

thread_local std::array<BYTE, 256> tThreadState{};

SHORT AsShort(BYTE entry) {
    // Down gives a negative value whose low byte keeps bit 0x80, as callers test either way.
    return static_cast<SHORT>(((entry & 0x80) ? 0xFF80 : 0) | (entry & 0x01));
}

} // namespace

namespace [[gnu::visibility("hidden")]] detail {

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
