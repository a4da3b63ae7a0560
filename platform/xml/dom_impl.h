// Private detail of the DOM: the tree that documents and nodes share, and the helpers the DOM's
// source files use among themselves. Not for use outside platform/xml.
#pragma once

#include "platform/xml/dom.h"

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <string>
#include <string_view>
#include <vector>

namespace quill::xml {
namespace [[gnu::visibility("hidden")]] detail {

// One libxml2 document with the nodes made for it that may be outside its tree. Freed when the
// last document or node object that refers to it goes.
struct TTree {
    explicit TTree(xmlDocPtr doc) : Doc(doc) {}
    TTree(const TTree&) = delete;
    TTree& operator=(const TTree&) = delete;
    [[gnu::visibility("hidden")]] ~TTree();

    // Remembers a node that is (or may become) detached, so that it is freed with the tree.
    void KeepLoose(xmlNodePtr node) { Loose.push_back(node); }
    // The tree's XPath context (created on first use); its error callback records, not prints.
    [[gnu::visibility("hidden")]] xmlXPathContextPtr XPathContext();
    // `expression` (UTF-8) compiled in the tree's context, kept for the next selection with the
    // same expression: a document's devices are read with the same few paths, one selection per
    // device, and compiling costs more than a short path's evaluation. Nil when the expression
    // does not compile (the context's last error tells why).
    [[gnu::visibility("hidden")]] xmlXPathCompExprPtr Compiled(const std::string& expression);

    xmlDocPtr Doc;
    std::vector<xmlNodePtr> Loose;
    xmlXPathContextPtr XPath = nullptr;
    std::vector<std::pair<std::string, xmlXPathCompExprPtr>> CompiledPaths;
};

// Makes sure libxml2 is initialised (once per process; thread-safe).
void EnsureLibxml();

// UTF-16 <-> the UTF-8 that libxml2 holds.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(const xmlChar* text);

// Whether `utf8` is an XML name. The settings code sets the same few names over and over, so
// names found valid are remembered (per thread, a bounded number).
bool IsXmlName(const std::string& utf8);

// Serialises `node` and its descendants as UTF-8 XML text.
void SerialiseNode(xmlNodePtr node, std::string& out);

// A short Windows-1251 rendering of a libxml2 error message (trailing line break removed).
std::string ErrorMessageOf(const xmlError* error, std::string_view fallback);

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::xml
