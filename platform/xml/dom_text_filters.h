// Private detail of the DOM: what a load checks and changes in the text before the parser sees
// it, the same on every system. These are plain passes over the UTF-8 form of the text: they
// refuse what the parser would take too long over or must never read, and hide what XML 1.0 cannot
// carry but our own text writes. Not for use outside platform/xml.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quill::xml {
namespace [[gnu::visibility("hidden")]] detail {

// Character references to the control characters U+0001..U+001F that XML 1.0 forbids (all but
// tab, line feed and carriage return) are what our XML text writes for such characters; parsers
// refuse them. Before the parse each such reference in content or in an attribute value (not in
// a comment, CDATA section or processing instruction) is replaced, in place, by the noncharacter
// U+FDD0 plus the control's code, which the parser accepts. Returns whether anything was
// replaced. Text that already holds one of those noncharacters is left alone (the replacement
// would not be undone unambiguously), so its references fail the parse as before.
bool HideControlReferences(std::string& utf8);
// Whether `utf8` holds a noncharacter that HideControlReferences puts in.
bool HoldsHiddenControls(std::string_view utf8);
// `utf8` with each such noncharacter turned back into its control character.
std::string RestoreHiddenControls(std::string_view utf8);
// The same for a UTF-16 text, in place; whether anything changed.
bool RestoreHiddenControls(std::u16string& text);

// Where the first start tag with more than `limit` attributes begins in `utf8` (a byte offset),
// or nothing. Attributes are counted as the "=" signs of a start tag outside its quoted values;
// comments, CDATA sections, processing instructions and declarations are skipped. Text that is
// not well-formed may be counted loosely: the parser refuses it anyway, and the count still
// bounds what it would compare.
std::optional<std::size_t> FindCrowdedElement(std::string_view utf8, std::size_t limit);
// Raises EXmlParseError ("An element has too many attributes ...") at the first start tag with
// more than MaxAttributesPerElement attributes.
void RefuseCrowdedElement(std::string_view utf8);

// Where the first start tag that would nest elements deeper than `limit` begins, or nothing.
// Counted loosely like FindCrowdedElement: end tags close one level, empty-element tags none.
std::optional<std::size_t> FindTooDeepElement(std::string_view utf8, std::size_t limit);
// Where a document type declaration ("<!DOCTYPE") begins outside comments, CDATA sections and
// processing instructions, or nothing.
std::optional<std::size_t> FindDoctype(std::string_view utf8);

// Where the first character that XML 1.0 cannot carry raw stands in `text` (U+0000 and the
// controls U+0001..U+001F but tab, line feed and carriage return; in markup or out of it), or
// nothing.
std::optional<std::size_t> FindForbiddenCharacter(std::u16string_view text);

// The line and column (from 1; the column counts bytes) of the byte offset `at` of `utf8`.
std::pair<int, int> LineAndColumnOf(std::string_view utf8, std::size_t at);

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::xml
