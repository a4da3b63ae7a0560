#include "platform/kernel/codepage.h"

#include <array>

namespace quill::kernel {

namespace {

// UTF-16 of bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
constexpr char16_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

// Code page 866: 0x80..0xAF are U+0410..U+043F and 0xE0..0xEF U+0440..U+044F; these are the rest.
constexpr char16_t kOemBoxes[48] = {
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580};
constexpr char16_t kOemTail[16] = {0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
                                   0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0};

char16_t ToWide(unsigned char c) {
    if (c < 0x80) return c;
    if (c >= 0xC0) return static_cast<char16_t>(0x0410 + (c - 0xC0));
    return kHighHalf[c - 0x80];
}

// Unicode upper case of the letters that Windows-1251 can hold.
char16_t UnicodeUpper(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0x0430 && c <= 0x044F) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x0450 && c <= 0x045F) return static_cast<char16_t>(c - 0x50);
    if (c == 0x0491) return 0x0490;
    return c;
}
char16_t UnicodeLower(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    if (c >= 0x0410 && c <= 0x042F) return static_cast<char16_t>(c + 0x20);
    if (c >= 0x0400 && c <= 0x040F) return static_cast<char16_t>(c + 0x50);
    if (c == 0x0490) return 0x0491;
    return c;
}

struct Tables {
    std::array<unsigned char, 65536> fromWide{};
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> lower{};
    Tables() {
        fromWide.fill('?');
        for (int b = 0; b < 256; ++b)
            fromWide[ToWide(static_cast<unsigned char>(b))] = static_cast<unsigned char>(b);
        for (int b = 0; b < 256; ++b) {
            const char16_t w = ToWide(static_cast<unsigned char>(b));
            const char16_t u = UnicodeUpper(w), l = UnicodeLower(w);
            upper[b] = (u != w && fromWide[u] != '?') ? fromWide[u] : static_cast<unsigned char>(b);
            lower[b] = (l != w && fromWide[l] != '?') ? fromWide[l] : static_cast<unsigned char>(b);
        }
    }
};

const Tables& T() {
    static const Tables tables;
    return tables;
}

} // namespace

char16_t AnsiCharToWide(unsigned char c) {
    return ToWide(c);
}

char16_t OemCharToWide(unsigned char c) {
    if (c < 0x80) return c;
    if (c < 0xB0) return static_cast<char16_t>(0x0410 + (c - 0x80));
    if (c < 0xE0) return kOemBoxes[c - 0xB0];
    if (c < 0xF0) return static_cast<char16_t>(0x0440 + (c - 0xE0));
    return kOemTail[c - 0xF0];
}

std::u16string AnsiToWide(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = ToWide(static_cast<unsigned char>(text[i]));
    return out;
}

std::string WideToAnsi(std::u16string_view text) {
    const auto& t = T();
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>(t.fromWide[text[i]]);
    return out;
}

std::u16string Utf8ToWide(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        std::size_t extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (i + extra >= s.size()) { // truncated sequence
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool ok = true;
        for (std::size_t k = 1; ok && k <= extra; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return out;
}

std::string WideToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string AnsiToUtf8(std::string_view text) {
    return WideToUtf8(AnsiToWide(text));
}
std::string Utf8ToAnsi(std::string_view text) {
    return WideToAnsi(Utf8ToWide(text));
}

unsigned char AnsiUpper(unsigned char c) {
    return T().upper[c];
}
unsigned char AnsiLower(unsigned char c) {
    return T().lower[c];
}

std::string AnsiUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(AnsiUpper(static_cast<unsigned char>(c)));
    return out;
}

std::string AnsiLowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(AnsiLower(static_cast<unsigned char>(c)));
    return out;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = ToWide(AnsiUpper(static_cast<unsigned char>(a[i])));
        const char16_t y = ToWide(AnsiUpper(static_cast<unsigned char>(b[i])));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AnsiUpper(static_cast<unsigned char>(a[i])) !=
            AnsiUpper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string UpperCaseLatin(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

bool SameTextLatin(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

char16_t WideUpper(char16_t c) {
    const unsigned char b = T().fromWide[c];
    if (b == '?' && c != u'?') return c;
    return ToWide(AnsiUpper(b));
}

char16_t WideLower(char16_t c) {
    const unsigned char b = T().fromWide[c];
    if (b == '?' && c != u'?') return c;
    return ToWide(AnsiLower(b));
}

std::u16string WideLowerCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out)
        c = WideLower(c);
    return out;
}

const TCasePairs& WideCasePairs() {
    static const TCasePairs pairs = [] {
        TCasePairs result;
        for (int b = 0; b < 256; ++b) {
            const auto byte = static_cast<unsigned char>(b);
            if (AnsiLower(byte) == byte) continue;
            result.Upper.push_back(ToWide(byte));
            result.Lower.push_back(ToWide(AnsiLower(byte)));
        }
        return result;
    }();
    return pairs;
}

std::u16string WideUpperCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out)
        c = WideUpper(c);
    return out;
}

bool WideSameText(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (WideUpper(a[i]) != WideUpper(b[i])) return false;
    return true;
}

} // namespace quill::kernel
