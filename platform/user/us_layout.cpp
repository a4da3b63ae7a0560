#include "platform/user/us_layout.h"

namespace quill::user {

namespace {

struct Punctuation {
    std::uint8_t key;
    char plain;
    char shifted;
};

constexpr Punctuation kPunctuation[] = {
    {0xBA, ';', ':'},  {0xBB, '=', '+'}, {0xBC, ',', '<'},  {0xBD, '-', '_'},
    {0xBE, '.', '>'},  {0xBF, '/', '?'}, {0xC0, '`', '~'},  {0xDB, '[', '{'},
    {0xDC, '\\', '|'}, {0xDD, ']', '}'}, {0xDE, '\'', '"'},
};

constexpr char kShiftedDigits[] = ")!@#$%^&*(";

} // namespace

char KeyToChar(std::uint8_t key, bool shift, bool capsLock, bool control, bool numLock) {
    switch (key) {
    case VK_DIVIDE:
        return control ? 0 : '/';
    case VK_MULTIPLY:
        return control ? 0 : '*';
    case VK_SUBTRACT:
        return control ? 0 : '-';
    case VK_ADD:
        return control ? 0 : '+';
    case VK_DECIMAL:
        return control || !numLock ? 0 : '.';
    default:
        if (IsKeypadDigit(key))
            return control || !numLock ? 0 : static_cast<char>('0' + (key - VK_NUMPAD0));
        break;
    }
    if (control) {
        if (key >= 'A' && key <= 'Z') return static_cast<char>(key - 'A' + 1);
        if (shift) {
            // Control with Shift types only the letters' codes and these two.
            switch (key) {
            case '6':
                return 30;
            case 0xBD:
                return 31;
            default:
                return 0;
            }
        }
        switch (key) {
        case 0xDB:
            return 27;
        case 0xDC:
            return 28;
        case 0xDD:
            return 29;
        case VK_SPACE:
            return ' ';
        case VK_RETURN:
            return 10;
        case VK_BACK:
            return 127;
        case VK_ESCAPE:
            return 27;
        default:
            return 0;
        }
    }
    if (key >= 'A' && key <= 'Z') {
        const bool upper = shift != capsLock;
        return static_cast<char>(upper ? key : key + 32);
    }
    if (key >= '0' && key <= '9') return shift ? kShiftedDigits[key - '0'] : static_cast<char>(key);
    for (const auto& p : kPunctuation)
        if (p.key == key) return shift ? p.shifted : p.plain;
    switch (key) {
    case VK_SPACE:
        return ' ';
    case VK_RETURN:
        return 13;
    case VK_TAB:
        return 9;
    case VK_BACK:
        return 8;
    case VK_ESCAPE:
        return 27;
    default:
        return 0;
    }
}

std::optional<KeyStroke> CharToKey(char c) {
    if (c >= 'a' && c <= 'z') return KeyStroke{static_cast<std::uint8_t>(c - 32), false, false};
    if (c >= 'A' && c <= 'Z') return KeyStroke{static_cast<std::uint8_t>(c), true, false};
    if (c >= '0' && c <= '9') return KeyStroke{static_cast<std::uint8_t>(c), false, false};
    for (int d = 0; d < 10; ++d)
        if (kShiftedDigits[d] == c)
            return KeyStroke{static_cast<std::uint8_t>('0' + d), true, false};
    for (const auto& p : kPunctuation) {
        if (p.plain == c) return KeyStroke{p.key, false, false};
        if (p.shifted == c) return KeyStroke{p.key, true, false};
    }
    switch (c) {
    case ' ':
        return KeyStroke{VK_SPACE, false, false};
    case '\r':
        return KeyStroke{VK_RETURN, false, false};
    case '\n':
        return KeyStroke{VK_RETURN, false, true};
    case '\t':
        return KeyStroke{VK_TAB, false, false};
    case 8:
        return KeyStroke{VK_BACK, false, false};
    case 27:
        return KeyStroke{VK_ESCAPE, false, false};
    default:
        break;
    }
    if (c >= 1 && c <= 26) return KeyStroke{static_cast<std::uint8_t>('A' + c - 1), false, true};
    return std::nullopt;
}

} // namespace quill::user
