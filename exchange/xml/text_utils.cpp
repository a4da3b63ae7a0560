#include "exchange/xml/text_utils.h"

#include "exchange/xml/text_search_impl.h"

#include <cstddef>

namespace quill::exchange {

namespace {

using detail::CharCode;
using detail::kNotFound;

// Writes the replaced text to `out` and returns true, or returns false (leaving `out` alone) when
// the text holds no occurrence.
template <class CharT, class Finder>
bool ReplaceInto(std::basic_string_view<CharT> text, std::size_t m, const Finder& finder,
                 std::basic_string_view<CharT> replacement, std::basic_string<CharT>& out) {
    std::size_t pos = finder.Next(0);
    if (pos == kNotFound) return false;
    const std::size_t n = text.size();
    const std::size_t r = replacement.size();
    std::basic_string<CharT> result;
    // Sized for the worst case when the text can grow, to the input length otherwise.
    result.reserve(r > m ? n / m * r + n % m : n);
    std::size_t copied = 0;
    do {
        result.append(text.data() + copied, pos - copied);
        result.append(replacement);
        copied = pos + m;
    } while ((pos = finder.Next(copied)) != kNotFound);
    result.append(text.data() + copied, n - copied);
    out = std::move(result);
    return true;
}

template <class CharT>
bool ReplaceInto(std::basic_string_view<CharT> text, std::basic_string_view<CharT> search,
                 std::basic_string_view<CharT> replacement, bool exactCase,
                 std::basic_string<CharT>& out) {
    // An empty search text has no occurrence to find (scanning for it would never advance).
    if (text.empty() || search.empty() || search.size() > text.size()) return false;
    // Case matters only for Latin letters: a search text without any is found exactly.
    bool letters = false;
    for (CharT c : search)
        letters = letters || detail::IsLatinLetter(c);
    if (exactCase || !letters)
        return ReplaceInto(text, search.size(), detail::TTextFinder<true, CharT>(text, search),
                           replacement, out);
    return ReplaceInto(text, search.size(), detail::TTextFinder<false, CharT>(text, search),
                       replacement, out);
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
    while (!text.empty() && CharCode(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && CharCode(text.back()) <= ' ')
        text.remove_suffix(1);
    std::basic_string<CharT> out(text);
    for (CharT& c : out)
        c = static_cast<CharT>(detail::FoldChar<false>(c));
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
