#include "exchange/xml/text_utils.h"

#include <array>
#include <cstddef>
#include <type_traits>
#include <vector>

namespace quill::exchange {

namespace {

template <class CharT> unsigned Code(CharT c) {
    return static_cast<unsigned>(static_cast<std::make_unsigned_t<CharT>>(c));
}

template <bool ExactCase, class CharT> unsigned FoldT(CharT c) {
    const unsigned u = Code(c);
    if constexpr (ExactCase)
        return u;
    else
        return (u >= 'a' && u <= 'z') ? u - ('a' - 'A') : u;
}

// Writes the replaced text to `out` and returns true, or returns false (leaving `out` alone) when
// the text holds no occurrence.
template <bool ExactCase, class CharT>
bool ReplaceInto(std::basic_string_view<CharT> text, std::basic_string_view<CharT> search,
                 std::basic_string_view<CharT> replacement, std::basic_string<CharT>& out) {
    using String = std::basic_string<CharT>;
    const std::size_t n = text.size();
    const std::size_t m = search.size();

    // The pattern folded once; the skip table indexed by the low byte of the folded character. A
    // UTF-16 character shares its slot with others of the same low byte: the slot then holds the
    // smallest of their distances, so the scan never jumps over an occurrence.
    std::vector<unsigned> pattern(m, 0);
    for (std::size_t i = 0; i < m; ++i)
        pattern[i] = FoldT<ExactCase>(search[i]);
    std::array<std::size_t, 256> skip;
    skip.fill(m);
    for (std::size_t i = 0; i + 1 < m; ++i)
        skip[pattern[i] & 0xFF] = m - 1 - i;

    String result;
    bool found = false;
    const std::size_t r = replacement.size();
    const CharT* const data = text.data();
    const unsigned lastOfPattern = pattern[m - 1];
    // The scan skips with a copy of the table whose slot for the pattern's last character is 0:
    // it stops only where the window's last character may match, and only there compares.
    const std::size_t lastShift = skip[lastOfPattern & 0xFF];
    std::array<std::size_t, 256> scan = skip;
    scan[lastOfPattern & 0xFF] = 0;
    const std::size_t end = n - m;
    std::size_t copied = 0;
    std::size_t pos = 0;
    while (pos <= end) {
        std::size_t shift;
        while ((shift = scan[FoldT<ExactCase>(data[pos + m - 1]) & 0xFF]) != 0) {
            pos += shift;
            if (pos > end) break;
        }
        if (pos > end) break;
        if (FoldT<ExactCase>(data[pos + m - 1]) == lastOfPattern) {
            std::size_t j = m - 1;
            while (j > 0 && FoldT<ExactCase>(data[pos + j - 1]) == pattern[j - 1])
                --j;
            if (j == 0) {
                if (!found) {
                    // Sized at the first occurrence: for the worst case when the text can grow,
                    // to the input length otherwise.
                    result.reserve(r > m ? n / m * r + n % m : n);
                    found = true;
                }
                result.append(data + copied, pos - copied);
                result.append(replacement);
                pos += m;
                copied = pos;
                continue;
            }
        }
        pos += lastShift;
    }
    if (!found) return false;
    result.append(data + copied, n - copied);
    out = std::move(result);
    return true;
}

template <class CharT>
bool ReplaceInto(std::basic_string_view<CharT> text, std::basic_string_view<CharT> search,
                 std::basic_string_view<CharT> replacement, bool exactCase,
                 std::basic_string<CharT>& out) {
    // An empty search text has no occurrence to find (scanning for it would never advance).
    if (text.empty() || search.empty() || search.size() > text.size()) return false;
    return exactCase ? ReplaceInto<true>(text, search, replacement, out)
                     : ReplaceInto<false>(text, search, replacement, out);
}

template <class CharT>
std::basic_string<CharT> ReplaceAllT(std::basic_string_view<CharT> text,
                                     std::basic_string_view<CharT> search,
                                     std::basic_string_view<CharT> replacement, bool exactCase) {
    std::basic_string<CharT> out;
    if (ReplaceInto(text, search, replacement, exactCase, out)) return out;
    return std::basic_string<CharT>(text);
}

template <class CharT> bool LooksLikePath(std::basic_string_view<CharT> text) {
    if (text.size() >= 3 && text[1] == CharT(':') && text[2] == CharT('\\')) return true;
    return text.size() >= 2 && text[0] == CharT('\\') && text[1] == CharT('\\');
}

template <class CharT>
std::basic_string<CharT> EscapeLineBreaksT(std::basic_string_view<CharT> text, bool encode) {
    static constexpr CharT kBreak[] = {CharT('\r'), CharT('\n'), CharT(0)};
    static constexpr CharT kEscaped[] = {CharT('\\'), CharT('n'), CharT(0)};
    if (encode) return ReplaceAllT<CharT>(text, kBreak, kEscaped, true);
    if (LooksLikePath(text)) return std::basic_string<CharT>(text);
    return ReplaceAllT<CharT>(text, kEscaped, kBreak, true);
}

template <class CharT>
std::basic_string<CharT> NormaliseGuidTextT(std::basic_string_view<CharT> text, bool bare) {
    while (!text.empty() && Code(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && Code(text.back()) <= ' ')
        text.remove_suffix(1);
    std::basic_string<CharT> out(text);
    for (CharT& c : out)
        c = static_cast<CharT>(FoldT<false>(c));
    if (bare && out.size() == 38) return out.substr(1, 36);
    if (!bare && out.size() == 36) {
        out.insert(out.begin(), CharT('{'));
        out.push_back(CharT('}'));
    }
    return out;
}

} // namespace

std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement,
                       bool exactCase) {
    return ReplaceAllT<char>(text, search, replacement, exactCase);
}

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view search,
                          std::u16string_view replacement, bool exactCase) {
    return ReplaceAllT<char16_t>(text, search, replacement, exactCase);
}

bool ReplaceAllIn(std::u16string& text, std::u16string_view search, std::u16string_view replacement,
                  bool exactCase) {
    std::u16string out;
    if (!ReplaceInto<char16_t>(text, search, replacement, exactCase, out)) return false;
    text = std::move(out);
    return true;
}

std::string EscapeLineBreaks(std::string_view text, bool encode) {
    return EscapeLineBreaksT<char>(text, encode);
}

std::u16string EscapeLineBreaks(std::u16string_view text, bool encode) {
    return EscapeLineBreaksT<char16_t>(text, encode);
}

std::string NormaliseGuidText(std::string_view text, bool bare) {
    return NormaliseGuidTextT<char>(text, bare);
}

std::u16string NormaliseGuidText(std::u16string_view text, bool bare) {
    return NormaliseGuidTextT<char16_t>(text, bare);
}

} // namespace quill::exchange
