#include "platform/user/to_ascii.h"

#include "platform/kernel/last_error.h"
#include "platform/user/us_layout.h"

#include <cstring>

namespace quill::user {

namespace {

// The platform's handle value for US English: language 0x0409 in both halves.
const HKL UsEnglish = reinterpret_cast<HKL>(static_cast<std::uintptr_t>(0x04090409));

} // namespace

HKL LoadKeyboardLayoutA(const char* layoutName, UINT) {
    if (layoutName && std::strcmp(layoutName, "00000409") == 0) return UsEnglish;
    kernel::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

HKL GetKeyboardLayout(DWORD) {
    return UsEnglish;
}

int ToAsciiEx(UINT virtualKey, UINT, const BYTE* keyState, WORD* buffer, UINT, HKL layout) {
    if (buffer) buffer[0] = 0;
    if (!keyState || !buffer || virtualKey > 0xFF || (layout && layout != UsEnglish)) return 0;
    const bool shift = (keyState[VK_SHIFT] & 0x80) != 0;
    const bool control = (keyState[VK_CONTROL] & 0x80) != 0;
    const bool alt = (keyState[VK_MENU] & 0x80) != 0;
    const bool capsLock = (keyState[VK_CAPITAL] & 0x01) != 0;
    const bool numLock = (keyState[VK_NUMLOCK] & 0x01) != 0;
    const auto key = static_cast<std::uint8_t>(virtualKey);
    if (control && alt) return 0;
    if (alt && IsKeypadDigit(key)) return 0; // a digit of an Alt code types when Alt is released
    const char c = KeyToChar(key, shift, capsLock, control, numLock);
    if (c == 0) return 0;
    buffer[0] = static_cast<std::uint8_t>(c);
    return 1;
}

} // namespace quill::user
