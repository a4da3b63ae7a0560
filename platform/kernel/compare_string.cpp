#include "platform/kernel/compare_string.h"

#include "platform/kernel/codepage.h"

namespace quill::kernel {

int CompareStringA(LCID, std::uint32_t flags, std::string_view a, std::string_view b) {
    int order;
    if (flags & NORM_IGNORECASE) {
        order = AnsiCompareText(a, b);
    } else {
        order = a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
            const char16_t x = AnsiCharToWide(static_cast<unsigned char>(a[i]));
            const char16_t y = AnsiCharToWide(static_cast<unsigned char>(b[i]));
            if (x != y) {
                order = x < y ? -1 : 1;
                break;
            }
        }
    }
    return CSTR_EQUAL + order;
}

} // namespace quill::kernel
