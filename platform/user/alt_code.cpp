#include "platform/user/alt_code.h"

#include "platform/kernel/codepage.h"
#include "platform/user/us_layout.h"

namespace quill::user {

namespace {

bool IsModifier(std::uint8_t key) {
    switch (key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
        return true;
    default:
        return false;
    }
}

} // namespace

int AltCodeDigit(std::uint8_t virtualKey, bool extended) {
    if (IsKeypadDigit(virtualKey)) return virtualKey - VK_NUMPAD0;
    if (extended) return -1;
    // The keypad with Num Lock off, digit by digit.
    constexpr std::uint8_t kNavigation[] = {VK_INSERT, VK_END,   VK_DOWN, VK_NEXT, VK_LEFT,
                                            VK_CLEAR,  VK_RIGHT, VK_HOME, VK_UP,   VK_PRIOR};
    for (int digit = 0; digit < 10; ++digit)
        if (kNavigation[digit] == virtualKey) return digit;
    return -1;
}

bool TAltCodeEntry::KeyDown(std::uint8_t virtualKey, bool extended, bool alt, bool control) {
    if (IsModifier(virtualKey)) return false;
    if (const int digit = AltCodeDigit(virtualKey, extended); alt && !control && digit >= 0) {
        FDigits.push_back(static_cast<char>('0' + digit));
        return true;
    }
    FDigits.clear();
    return false;
}

std::string TAltCodeEntry::AltUp() {
    std::string digits;
    digits.swap(FDigits);
    return digits;
}

char16_t AltCodeCharacter(std::string_view digits) {
    if (digits.empty()) return 0;
    unsigned code = 0;
    for (char d : digits)
        code = (code * 10 + static_cast<unsigned>(d - '0')) % 256;
    if (code == 0) return 0;
    const auto byte = static_cast<unsigned char>(code);
    return digits.front() == '0' ? kernel::AnsiCharToWide(byte) : kernel::OemCharToWide(byte);
}

} // namespace quill::user
