// Documents: creation by programmatic identifier, hardened loading from text, the document
// element, element and processing-instruction creation, and the document's properties.
#include "platform/xml/dom_impl.h"

#include "platform/kernel/codepage.h"
#include "platform/xml/dom_load_filters.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <new>

namespace quill::xml {

using namespace com;
using detail::ToUtf8;

namespace {

constexpr std::u16string_view kDeclaration = u"version=\"1.0\" encoding=\"UTF-16\"";

std::shared_ptr<detail::TTree> NewTree() {
    detail::EnsureLibxml();
    xmlDocPtr doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (!doc) throw std::bad_alloc();
    try {
        return std::make_shared<detail::TTree>(doc);
    } catch (...) {
        xmlFreeDoc(doc);
        throw;
    }
}

// What the parse refused on its own account, beside libxml2's own errors.
struct TParseGuard {
    bool DoctypeSeen = false;
    int Line = 0;
    int Column = 0;
};

// A document type declaration is refused where it starts: the parser stops before reading its
// internal subset, so no entity is ever declared, loaded or expanded.
void RefuseDoctype(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    auto* guard = static_cast<TParseGuard*>(parser->_private);
    if (guard && !guard->DoctypeSeen) {
        guard->DoctypeSeen = true;
        guard->Line = parser->input ? parser->input->line : 0;
        guard->Column = parser->input ? parser->input->col : 0;
    }
    xmlStopParser(parser);
}

bool StartsWithDeclaration(std::u16string_view text) {
    if (!text.empty() && text.front() == 0xFEFF) text.remove_prefix(1);
    if (text.size() < 6 || text.substr(0, 5) != u"<?xml") return false;
    const char16_t next = text[5];
    return next == u' ' || next == u'\t' || next == u'\r' || next == u'\n';
}

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR |
                              XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;

xmlDocPtr ParseText(std::u16string_view text) {
    detail::EnsureLibxml();
    CheckDocumentSize(text);
    std::string utf8 = ToUtf8(text);
    if (const auto at = detail::FindCrowdedElement(utf8, MaxAttributesPerElement)) {
        const std::string_view before = std::string_view(utf8).substr(0, *at);
        const std::size_t lineStart = before.rfind('\n');
        const auto line = 1 + std::count(before.begin(), before.end(), '\n');
        const auto column = lineStart == std::string_view::npos ? *at + 1 : *at - lineStart;
        throw EXmlParseError("An element has too many attributes (more than " +
                                 std::to_string(MaxAttributesPerElement) + ")",
                             static_cast<int>(line), static_cast<int>(column));
    }
    const bool controlsHidden = detail::HideControlReferences(utf8);
    xmlParserCtxtPtr parser = xmlNewParserCtxt();
    if (!parser) throw std::bad_alloc();
    TParseGuard guard;
    parser->_private = &guard;
    parser->sax->internalSubset = RefuseDoctype;
    parser->sax->externalSubset = RefuseDoctype;
    // The text is UTF-8 now whatever its declaration says.
    xmlDocPtr doc = xmlCtxtReadMemory(parser, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                                      "UTF-8", kParseOptions);
    // libxml2 also copies every error into a per-thread slot that lives until the next error;
    // the parser keeps its own copy for the message below, so the thread's copy (which quotes
    // the refused text) is dropped now rather than held.
    xmlResetLastError();
    if (doc && !guard.DoctypeSeen) {
        xmlFreeParserCtxt(parser);
        detail::DropBlankText(reinterpret_cast<xmlNodePtr>(doc));
        if (controlsHidden) detail::RestoreControlCharacters(reinterpret_cast<xmlNodePtr>(doc));
        return doc;
    }
    if (doc) xmlFreeDoc(doc);
    if (guard.DoctypeSeen) {
        xmlFreeParserCtxt(parser);
        throw EXmlParseError("Document type declarations are not allowed", guard.Line,
                             guard.Column);
    }
    const xmlError* error = xmlCtxtGetLastError(parser);
    std::string reason = detail::ErrorMessageOf(error, "The document is not well-formed");
    const int line = error && error->line > 0 ? error->line : 1;
    const int column = error && error->int2 > 0 ? error->int2 : 1;
    xmlFreeParserCtxt(parser);
    throw EXmlParseError(std::move(reason), line, column);
}

} // namespace

std::size_t Utf8Length(std::u16string_view text) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80)
            bytes += 1;
        else if (c < 0x800)
            bytes += 2;
        else if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                 text[i + 1] < 0xE000) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

void CheckDocumentSize(std::u16string_view text) {
    // Most texts are far from the limit: only one that could reach it is measured.
    if (text.size() * 3 <= MaxDocumentBytes) return;
    if (text.size() > MaxDocumentBytes || Utf8Length(text) > MaxDocumentBytes)
        throw EXmlParseError("Document too large", 1, 1);
}

TXmlDocument::TXmlDocument(std::shared_ptr<detail::TTree> tree)
    : TXmlNode(tree, reinterpret_cast<xmlNodePtr>(tree->Doc)) {}

TXmlDocument::~TXmlDocument() = default;

XmlDocument TXmlDocument::Create() {
    return XmlDocument::Adopt(new TXmlDocument(NewTree()));
}

HRESULT STDMETHODCALLTYPE TXmlDocument::QueryInterface(REFIID iid, void** object) {
    if (object && iid == TXmlDocument::Guid) {
        *object = this;
        AddRef();
        return S_OK;
    }
    return TXmlNode::QueryInterface(iid, object);
}

void TXmlDocument::LoadXml(std::u16string_view text) {
    xmlDocPtr doc = ParseText(text);
    std::shared_ptr<detail::TTree> tree;
    try {
        tree = std::make_shared<detail::TTree>(doc);
    } catch (...) {
        xmlFreeDoc(doc);
        throw;
    }
    if (StartsWithDeclaration(text)) {
        // The declaration is a node of the document, as the DOM presents it; the text is UTF-16
        // from now on, so that is the encoding it declares.
        const std::string data = ToUtf8(kDeclaration);
        xmlNodePtr pi = xmlNewDocPI(doc, reinterpret_cast<const xmlChar*>("xml"),
                                    reinterpret_cast<const xmlChar*>(data.c_str()));
        if (!pi) throw std::bad_alloc();
        try {
            tree->KeepLoose(pi);
        } catch (...) {
            xmlFreeNode(pi);
            throw;
        }
        if (doc->children)
            xmlAddPrevSibling(doc->children, pi);
        else
            xmlAddChild(reinterpret_cast<xmlNodePtr>(doc), pi);
    }
    // Elements numbered in document order make XPath's ordering of large results cheap.
    xmlXPathOrderDocElems(doc);
    FTree = std::move(tree);
    FNode = reinterpret_cast<xmlNodePtr>(FTree->Doc);
}

XmlNode TXmlDocument::DocumentElement() const {
    xmlNodePtr root = xmlDocGetRootElement(FTree->Doc);
    if (!root) return nullptr;
    return XmlNode::Adopt(new TXmlNode(FTree, root));
}

void TXmlDocument::SetDocumentElement(const XmlNode& element) {
    if (!element || element->FTree != FTree || element->FNode->type != XML_ELEMENT_NODE)
        throw EXmlError("The document element must be an element of this document", E_INVALIDARG);
    xmlNodePtr old = xmlDocSetRootElement(FTree->Doc, element->FNode);
    // The displaced element may still be referred to; it is freed with the tree.
    if (old && old != element->FNode) FTree->KeepLoose(old);
}

XmlNode TXmlDocument::CreateElement(std::u16string_view name) {
    const std::string utf8 = ToUtf8(name);
    if (!detail::IsXmlName(utf8))
        throw EXmlError("Invalid element name '" + kernel::WideToAnsi(name) + "'", E_INVALIDARG);
    FTree->Loose.reserve(FTree->Loose.size() + 1);
    xmlNodePtr node =
        xmlNewDocNode(FTree->Doc, nullptr, reinterpret_cast<const xmlChar*>(utf8.c_str()), nullptr);
    if (!node) throw std::bad_alloc();
    FTree->KeepLoose(node);
    return XmlNode::Adopt(new TXmlNode(FTree, node));
}

XmlNode TXmlDocument::CreateProcessingInstruction(std::u16string_view target,
                                                  std::u16string_view data) {
    const std::string name = ToUtf8(target);
    if (!detail::IsXmlName(name))
        throw EXmlError("Invalid processing instruction target '" + kernel::WideToAnsi(target) +
                            "'",
                        E_INVALIDARG);
    const std::string content = ToUtf8(data);
    if (content.find("?>") != std::string::npos)
        throw EXmlError("A processing instruction cannot contain '?>'", E_INVALIDARG);
    FTree->Loose.reserve(FTree->Loose.size() + 1);
    xmlNodePtr node = xmlNewDocPI(FTree->Doc, reinterpret_cast<const xmlChar*>(name.c_str()),
                                  reinterpret_cast<const xmlChar*>(content.c_str()));
    if (!node) throw std::bad_alloc();
    FTree->KeepLoose(node);
    return XmlNode::Adopt(new TXmlNode(FTree, node));
}

XmlNode TXmlDocument::CreateComment(std::u16string_view text) {
    const std::string content = ToUtf8(text);
    // A comment is written as it is, so it may hold nothing that would end it or that XML 1.0
    // cannot carry raw.
    const bool control = std::any_of(content.begin(), content.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
    });
    if (control || content.find("--") != std::string::npos ||
        (!content.empty() && content.back() == '-'))
        throw EXmlError("A comment cannot hold '--', end with '-' or hold control characters",
                        E_INVALIDARG);
    FTree->Loose.reserve(FTree->Loose.size() + 1);
    xmlNodePtr node =
        xmlNewDocComment(FTree->Doc, reinterpret_cast<const xmlChar*>(content.c_str()));
    if (!node) throw std::bad_alloc();
    FTree->KeepLoose(node);
    return XmlNode::Adopt(new TXmlNode(FTree, node));
}

XmlNode TXmlDocument::ImportNode(const XmlNode& node, bool deep) {
    if (!node) throw EXmlError("No node to import", E_INVALIDARG);
    const xmlElementType type = node->FNode->type;
    if (type != XML_ELEMENT_NODE && type != XML_COMMENT_NODE && type != XML_PI_NODE)
        throw EXmlError("This kind of node cannot be imported", E_INVALIDARG);
    FTree->Loose.reserve(FTree->Loose.size() + 1);
    xmlNodePtr copy = xmlDocCopyNode(node->FNode, FTree->Doc, deep ? 1 : 2);
    if (!copy) throw std::bad_alloc();
    FTree->KeepLoose(copy);
    return XmlNode::Adopt(new TXmlNode(FTree, copy));
}

void TXmlDocument::SetProperty(std::u16string_view name, std::u16string_view value) {
    if (name != u"SelectionLanguage")
        throw EXmlError("Unknown property '" + kernel::WideToAnsi(name) + "'", E_INVALIDARG);
    if (value != u"XPath")
        throw EXmlError("Unsupported selection language '" + kernel::WideToAnsi(value) + "'",
                        E_INVALIDARG);
}

std::u16string TXmlDocument::GetProperty(std::u16string_view name) const {
    if (name != u"SelectionLanguage")
        throw EXmlError("Unknown property '" + kernel::WideToAnsi(name) + "'", E_INVALIDARG);
    return u"XPath";
}

XmlDocument CreateDomObject(std::u16string_view progId) {
    if (kernel::WideSameText(progId, u"Msxml2.DOMDocument") ||
        kernel::WideSameText(progId, u"MSXML.DOMDocument"))
        return TXmlDocument::Create();
    throw rtl::EOleSysError("Invalid class string", CO_E_CLASSSTRING);
}

} // namespace quill::xml
