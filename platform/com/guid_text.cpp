// The braced text form of a GUID, written and parsed by the library itself on every system: the
// system's parser also takes ProgIDs, which the callers must not be handed.
#include "platform/com/guid.h"

#include <cstdio>

namespace quill::com {

std::u16string StringFromCLSID(const GUID& g) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return std::u16string(buffer, buffer + 38);
}

HRESULT CLSIDFromString(std::u16string_view text, GUID* guid) {
    if (!guid) return E_INVALIDARG;
    if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') return CO_E_CLASSSTRING;
    auto hex = [&](std::size_t from, std::size_t digits, std::uint32_t& value) {
        value = 0;
        for (std::size_t i = from; i < from + digits; ++i) {
            const char16_t c = text[i];
            std::uint32_t d;
            if (c >= u'0' && c <= u'9')
                d = c - u'0';
            else if (c >= u'a' && c <= u'f')
                d = c - u'a' + 10;
            else if (c >= u'A' && c <= u'F')
                d = c - u'A' + 10;
            else
                return false;
            value = value * 16 + d;
        }
        return true;
    };
    if (text[9] != u'-' || text[14] != u'-' || text[19] != u'-' || text[24] != u'-')
        return CO_E_CLASSSTRING;
    GUID g{};
    std::uint32_t v;
    if (!hex(1, 8, v)) return CO_E_CLASSSTRING;
    g.Data1 = v;
    if (!hex(10, 4, v)) return CO_E_CLASSSTRING;
    g.Data2 = static_cast<std::uint16_t>(v);
    if (!hex(15, 4, v)) return CO_E_CLASSSTRING;
    g.Data3 = static_cast<std::uint16_t>(v);
    for (int i = 0; i < 2; ++i) {
        if (!hex(20 + 2 * i, 2, v)) return CO_E_CLASSSTRING;
        g.Data4[i] = static_cast<std::uint8_t>(v);
    }
    for (int i = 0; i < 6; ++i) {
        if (!hex(25 + 2 * i, 2, v)) return CO_E_CLASSSTRING;
        g.Data4[2 + i] = static_cast<std::uint8_t>(v);
    }
    *guid = g;
    return S_OK;
}

} // namespace quill::com
