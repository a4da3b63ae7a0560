// Key state on Windows: the system's, which keeps each thread's state as its key messages are
// retrieved; inside a keyboard hook, with the hooked key applied (win32/hooked_key.h).
#include "platform/user/key_state.h"

#include "platform/user/win32/hooked_key.h"
#include "platform/user/win32/user_system.h"

namespace quill::user {

namespace {

// The thread's state as the contract has it: inside a hook, the hooked key included.
void ThreadState(BYTE* state) {
    ::GetKeyboardState(state);
    if (const win32::THookedKey* hooked = win32::HookedKey()) {
        const auto flags = static_cast<std::uint32_t>(hooked->Flags);
        const detail::TKeyIdentity key = detail::ResolveKey(
            static_cast<BYTE>(hooked->Key), static_cast<BYTE>(flags >> 16), (flags >> 24) & 1);
        // Idempotent: where the system has applied the key already, nothing changes.
        detail::ApplyKey(state, key, (flags & 0x80000000u) == 0);
    }
}

} // namespace

SHORT GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    if (!win32::HookedKey()) return ::GetKeyState(virtualKey);
    BYTE state[256];
    ThreadState(state);
    const BYTE entry = state[virtualKey];
    return static_cast<SHORT>(((entry & 0x80) ? 0xFF80 : 0) | (entry & 0x01));
}

BOOL GetKeyboardState(BYTE* keyState) {
    if (!keyState) return FALSE;
    ThreadState(keyState);
    return TRUE;
}

} // namespace quill::user
