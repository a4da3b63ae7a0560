#include "capture/framing/escapes.h"

namespace quill::capture {

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

std::string DecodeEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 1 >= text.size()) {
            out.push_back('\0');
            break;
        }
        const char next = text[i + 1];
        if (!IsDigit(next)) {
            out.push_back(next);
            ++i;
            continue;
        }
        int code = next - '0';
        i += 1;
        if (i + 1 < text.size() && IsDigit(text[i + 1])) {
            code = code * 10 + (text[i + 1] - '0');
            i += 1;
        }
        out.push_back(static_cast<char>(code));
    }
    return out;
}

} // namespace quill::capture
