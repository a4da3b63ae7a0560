// Private detail of the DOM: what a load does to the text before libxml2 parses it and to the tree
// afterwards, so that a document reads the same however it was laid out and keeps the control
// characters that our own XML text writes as character references. Not for use outside
// platform/xml.
#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quill::xml {
namespace [[gnu::visibility("hidden")]] detail {

// Character references to the control characters U+0001..U+001F that XML 1.0 forbids (all but
// tab, line feed and carriage return) are what our XML text writes for such characters; libxml2
// refuses them. Before the parse each such reference in content or in an attribute value (not in
// a comment, CDATA section or processing instruction) is replaced, in place, by the noncharacter
// U+FDD0 plus the control's code, which the parser accepts. Returns whether anything was
// replaced. Text that already holds one of those noncharacters is left alone (the replacement
// would not be undone unambiguously), so its references fail the parse as before.
bool HideControlReferences(std::string& utf8);

// Turns the noncharacters that HideControlReferences put in back into their control characters,
// in every text node and attribute value below `node`.
void RestoreControlCharacters(xmlNodePtr node);

// Where the first start tag with more than `limit` attributes begins in `utf8` (a byte offset),
// or nothing. Attributes are counted as the "=" signs of a start tag outside its quoted values;
// comments, CDATA sections, processing instructions and declarations are skipped. Text that is
// not well-formed may be counted loosely: the parser refuses it anyway, and the count still
// bounds what it would compare.
std::optional<std::size_t> FindCrowdedElement(std::string_view utf8, std::size_t limit);

// Removes every text node below `node` that holds only blanks (space, tab, CR, LF), unless an
// xml:space="preserve" scope keeps it: the indentation of a hand-written file is not content.
// Text with anything else in it is kept exactly, its blanks included.
void DropBlankText(xmlNodePtr node);

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::xml
