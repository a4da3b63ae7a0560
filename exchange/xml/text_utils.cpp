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

template <class CharT> unsigned Fold(CharT c, bool exactCase) {
    const unsigned u = Code(c);
    return (!exactCase && u >= 'a' && u <= 'z') ? u - ('a' - 'A') : u;
}

template <class CharT>
std::basic_string<CharT> ReplaceAllT(std::basic_string_view<CharT> text, std::basic_string_view<CharT> search,
                                     std::basic_string_view<CharT> replacement, bool exactCase) {
    using String = std::basic_string<CharT>;
    if (text.empty()) return String();
    const std::size_t n = text.size();
    const std::size_t m = search.size();
    // An empty search text has no occurrence to find (scanning for it would never advance).
    if (m == 0 || m > n) return String(text);

    // The pattern folded once; the skip table indexed by the low byte of the folded character. A
    // UTF-16 character shares its slot with others of the same low byte: the slot then holds the
    // smallest of their distances, so the scan never jumps over an occurrence.
    std::vector<unsigned> pattern(m, 0);
    for (std::size_t i = 0; i < m; ++i) pattern[i] = Fold(search[i], exactCase);
    std::array<std::size_t, 256> skip;
    skip.fill(m);
    for (std::size_t i = 0; i + 1 < m; ++i) skip[pattern[i] & 0xFF] = m - 1 - i;

    String out;
    const std::size_t r = replacement.size();
    // Sized for the worst case up front when the text can grow, to the input length otherwise.
    out.reserve(r > m ? n / m * r + n % m : n);
    std::size_t copied = 0;
    std::size_t pos = 0;
    while (pos <= n - m) {
        const unsigned last = Fold(text[pos + m - 1], exactCase);
        if (last == pattern[m - 1]) {
            std::size_t j = m - 1;
            while (j > 0 && Fold(text[pos + j - 1], exactCase) == pattern[j - 1]) --j;
            if (j == 0) {
                out.append(text.substr(copied, pos - copied));
                out.append(replacement);
                pos += m;
                copied = pos;
                continue;
            }
        }
        pos += skip[last & 0xFF];
    }
    out.append(text.substr(copied));
    return out;
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
    while (!text.empty() && Code(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && Code(text.back()) <= ' ') text.remove_suffix(1);
    std::basic_string<CharT> out(text);
    for (CharT& c : out) c = static_cast<CharT>(Fold(c, false));
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
