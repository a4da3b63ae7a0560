// Text utilities that the settings code applies to documents and attribute values: replacement of
// every occurrence of a text, the escaping of line breaks in multi-line attribute values, and the
// normal form of GUID texts.
//
// Each routine comes for 8-bit (Windows-1251) and UTF-16 texts. Case-insensitive matching folds
// the Latin letters a to z only; every other character must match exactly. All routines are pure
// and thread-safe and raise nothing but std::bad_alloc.
#pragma once

#include <string>
#include <string_view>

namespace quill::exchange {

// Every non-overlapping occurrence of `search`, scanned from left to right, becomes `replacement`
// (an empty replacement removes it). An empty `search` matches nothing: the text comes back as
// it was. The search tests many windows of the text at a time (see text_search_impl.h).
std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement,
                       bool exactCase);
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view search,
                          std::u16string_view replacement, bool exactCase);
// ReplaceAll on `text` itself; false (and the text untouched, not copied) when nothing matched.
bool ReplaceAllIn(std::u16string& text, std::u16string_view search, std::u16string_view replacement,
                  bool exactCase);

// Encode: every CR LF pair becomes backslash and "n". Decode: every backslash-"n" pair becomes
// CR LF, except in a text that looks like a path (second and third characters ":\", or first two
// "\\"), which comes back unchanged.
std::string EscapeLineBreaks(std::string_view text, bool encode);
std::u16string EscapeLineBreaks(std::u16string_view text, bool encode);

// Trimmed (control characters and blanks at both ends) and with upper-case Latin letters; with
// `bare`, a 38-character text loses its braces; without, a 36-character text gains them.
std::string NormaliseGuidText(std::string_view text, bool bare);
std::u16string NormaliseGuidText(std::u16string_view text, bool bare);

} // namespace quill::exchange
