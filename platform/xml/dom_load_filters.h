// Private detail of the DOM over libxml2: what a load does to the tree after the parse, so that a
// document reads the same however it was laid out and keeps the control characters that our own
// XML text writes as character references (dom_text_filters.h hides them before the parse). Not
// for use outside platform/xml.
#pragma once

#include <libxml/tree.h>

namespace quill::xml {
namespace [[gnu::visibility("hidden")]] detail {

// Turns the noncharacters that HideControlReferences put in back into their control characters,
// in every text node and attribute value below `node`.
void RestoreControlCharacters(xmlNodePtr node);

// Removes every text node below `node` that holds only blanks (space, tab, CR, LF), unless an
// xml:space="preserve" scope keeps it: the indentation of a hand-written file is not content.
// Text with anything else in it is kept exactly, its blanks included.
void DropBlankText(xmlNodePtr node);

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::xml
