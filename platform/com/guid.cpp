#include "platform/com/guid.h"

#include <cstdio>
#include <sys/random.h>

namespace quill::com {

HRESULT CoCreateGuid(GUID* guid) {
    if (!guid) return E_INVALIDARG;
    unsigned char bytes[16];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n <= 0) return E_FAIL;
        got += static_cast<std::size_t>(n);
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    guid->Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                  (std::uint32_t{bytes[2]} << 8) | bytes[3];
    guid->Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    guid->Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        guid->Data4[i] = bytes[8 + i];
    return S_OK;
}

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
