#include "capture/framing/held_keys.h"

#include "platform/rtl/convert.h"
#include "platform/user/us_layout.h"

namespace quill::capture {

bool CapsLockMatters(std::uint16_t key) {
    return key >= 'A' && key <= 'Z';
}

bool NumLockMatters(std::uint16_t key) {
    return (key >= user::VK_NUMPAD0 && key <= user::VK_NUMPAD9) || key == user::VK_DECIMAL;
}

std::string HeldKeyLine(const HeldKey& key) {
    std::string line;
    line += key.Shift ? "1|" : "0|";
    line += key.Control ? "1|" : "0|";
    line += key.Alt ? "1|" : "0|";
    line += std::to_string(key.Key);
    line += '|';
    const int flags = (key.RightShift ? 1 : 0) | (key.RightControl ? 2 : 0) |
                      (key.RightAlt ? 4 : 0) | (key.Extended ? 8 : 0) |
                      (key.CapsLock && CapsLockMatters(key.Key) ? 16 : 0) |
                      (key.NumLock && NumLockMatters(key.Key) ? 32 : 0);
    if (flags != 0 || !key.AltDigits.empty()) line += std::to_string(flags) + '|';
    if (!key.AltDigits.empty()) line += key.AltDigits + '|';
    return line;
}

std::string HeldKeyField(std::string_view line, int n) {
    std::string text(line);
    if (text.empty() || text.back() != '|') text.push_back('|');
    std::size_t start = 0;
    for (int field = 1; field <= n; ++field) {
        const std::size_t bar = text.find('|', start);
        if (bar == std::string::npos) return {};
        if (field == n) return text.substr(start, bar - start);
        start = bar + 1;
    }
    return {};
}

HeldKey ParseHeldKeyLine(std::string_view line) {
    auto field = [&](int n) { return rtl::TryStrToInt(HeldKeyField(line, n)).value_or(0); };
    HeldKey key;
    key.Shift = field(1) != 0;
    key.Control = field(2) != 0;
    key.Alt = field(3) != 0;
    key.Key = static_cast<std::uint16_t>(field(4) & 0xFF);
    const int flags = field(5);
    key.RightShift = (flags & 1) != 0;
    key.RightControl = (flags & 2) != 0;
    key.RightAlt = (flags & 4) != 0;
    key.Extended = (flags & 8) != 0;
    key.CapsLock = (flags & 16) != 0 && CapsLockMatters(key.Key);
    key.NumLock = (flags & 32) != 0 && NumLockMatters(key.Key);
    // Only keypad digits make an Alt code: anything else in the field is no code.
    const std::string digits = HeldKeyField(line, 6);
    if (digits.find_first_not_of("0123456789") == std::string::npos) key.AltDigits = digits;
    return key;
}

} // namespace quill::capture
