#include "infra/root/text_routines.h"

namespace quill::infra {

std::string CommaPart(std::string_view text, bool second) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos) return second ? std::string() : std::string(text);
    return std::string(second ? text.substr(comma + 1) : text.substr(0, comma));
}

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

std::string HexToBytes(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const int high = HexValue(text[i]);
        const int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0) return {};
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

int CompareTextLocale(std::string_view a, std::string_view b, kernel::LCID locale) {
    return kernel::CompareStringA(locale, kernel::NORM_IGNORECASE, a, b) - kernel::CSTR_EQUAL;
}

} // namespace quill::infra
