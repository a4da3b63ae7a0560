#include "capture/framing/held_keys.h"

#include "platform/rtl/convert.h"

namespace quill::capture {

std::string HeldKeyLine(const HeldKey& key) {
    std::string line;
    line += key.Shift ? "1|" : "0|";
    line += key.Control ? "1|" : "0|";
    line += key.Alt ? "1|" : "0|";
    line += std::to_string(key.Key);
    line += '|';
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
    return key;
}

} // namespace quill::capture
