// Keyboard layouts and key conversion on Windows: the system's layouts. "00000409" is US English
// there as here; the system also knows the others.
#include "platform/user/to_ascii.h"

#include "platform/user/win32/user_system.h"

namespace quill::user {

HKL LoadKeyboardLayoutA(const char* layoutName, UINT flags) {
    if (!layoutName) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<HKL>(::LoadKeyboardLayoutA(layoutName, flags));
}

HKL GetKeyboardLayout(DWORD threadId) {
    return reinterpret_cast<HKL>(::GetKeyboardLayout(threadId));
}

int ToAsciiEx(UINT virtualKey, UINT scanCode, const BYTE* keyState, WORD* buffer, UINT flags,
              HKL layout) {
    if (buffer) buffer[0] = 0;
    if (!keyState || !buffer || virtualKey > 0xFF) return 0;
    return ::ToAsciiEx(virtualKey, scanCode, keyState, buffer, flags,
                       layout ? reinterpret_cast<::HKL>(layout) : ::GetKeyboardLayout(0));
}

} // namespace quill::user
