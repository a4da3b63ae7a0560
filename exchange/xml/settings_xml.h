// Access to the settings documents: creating and loading documents, the digit-4 rule, selection
// and attribute access by the numbers of the name tables (xml_names.h).
//
// Settings texts may spell the letter "ч" in tag and attribute names as the letter itself;
// NormaliseSettingsText rewrites the six names that carry it to their digit-4 form before a text
// is parsed. Documents and nodes are the DOM's (platform/xml/dom.h) and are used on the thread
// that made them. Name-table errors raise the coded error 20000; DOM errors (EXmlError,
// EXmlParseError) pass to the caller unchanged; an absent attribute is no error.
#pragma once

#include "platform/com/variant.h"
#include "platform/xml/dom.h"

#include <span>
#include <string>
#include <string_view>

namespace quill::exchange {

using xml::TXmlNodeList;
using xml::XmlDocument;
using xml::XmlNode;

// A DOM document by "Msxml2.DOMDocument", else by "MSXML.DOMDocument" (whose creation error
// passes on), with the selection language XPath.
XmlDocument CreateXmlDocument();
// CreateXmlDocument; the processing instruction "xml" with `declaration` at the top when that is
// not empty; the element `rootName` as document element when that is not empty; asynchronous
// loading off.
XmlDocument NewXmlDocument(std::u16string_view rootName, std::u16string_view declaration);
// version="1.0" encoding="UTF-16"
std::u16string_view XmlDeclaration();

// The digit-4 rule: six replacements applied in order to the whole text, Latin letters of the
// search texts matched in either case.
void NormaliseSettingsText(std::u16string& text);
// What every reader of a settings text does: with `dropLineBreaks`, remove every CR LF pair;
// normalise (in place, so the caller keeps the text that was parsed); parse into a new document
// with asynchronous loading off. Returns the document element.
XmlNode LoadSettingsText(std::u16string& text, bool dropLineBreaks);
// The same, returning the document.
XmlDocument LoadSettingsDocument(std::u16string& text, bool dropLineBreaks);

XmlNode CreateElementByNumber(const XmlDocument& document, int number);
// The path of entry `number` with `argument` at its "%s" (if it has one), then `suffix`, selected
// under `node`. A nil node raises EXmlError.
TXmlNodeList SelectNodesByNumber(const XmlNode& node, int number, std::u16string_view suffix = {},
                                 std::u16string_view argument = {});
// The first node of the path of entry `number` followed by `suffix`, or nil.
XmlNode SelectSingleNodeByNumber(const XmlNode& node, int number, std::u16string_view suffix = {});

// The value of attribute `number`, or `defaultValue` when the node is nil or has no such attribute.
std::u16string GetAttributeByNumber(const XmlNode& node, int number,
                                    std::u16string_view defaultValue = {});
// The same with the attribute named by an 8-bit (Windows-1251) text.
std::u16string GetAttributeText(const XmlNode& node, std::string_view name,
                                std::u16string_view defaultValue = {});
// Sets attribute numbers[i] := values[i] in order. Arrays of different length raise the coded
// error 20000 before anything is set; a bad number raises when its turn comes (earlier attributes
// stay set). A nil element raises EXmlError.
void SetAttributesByNumbers(const XmlNode& element, std::span<const int> numbers,
                            std::span<const com::OleVariant> values);

} // namespace quill::exchange
