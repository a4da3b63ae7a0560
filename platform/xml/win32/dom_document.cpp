// Documents over the component: creation, hardened loading from text, the document element,
// node creation and import.
#include "platform/kernel/codepage.h"
#include "platform/xml/win32/dom_com.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace quill::xml {

using detail::Check;
using detail::NodeTypeOf;
using detail::TRef;
using detail::TSysString;

namespace {

constexpr std::u16string_view kDeclaration = u"version=\"1.0\" encoding=\"UTF-16\"";

IXMLDOMNode* NodeOfDocument(IXMLDOMDocument2* doc) {
    doc->AddRef();
    return doc;
}

// Where the XML declaration at the start of `text` ends (past "?>"), or 0 when there is none.
std::size_t DeclarationEnd(std::u16string_view text) {
    std::size_t start = !text.empty() && text.front() == 0xFEFF ? 1 : 0;
    if (text.size() < start + 6 || text.substr(start, 5) != u"<?xml") return 0;
    const char16_t next = text[start + 5];
    if (next != u' ' && next != u'\t' && next != u'\r' && next != u'\n') return 0;
    const std::size_t end = text.find(u"?>", start);
    return end == std::u16string_view::npos ? 0 : end + 2;
}

[[noreturn]] void RefuseAt(std::string_view utf8, std::size_t at, std::string reason) {
    const auto [line, column] = detail::LineAndColumnOf(utf8, at);
    throw EXmlParseError(std::move(reason), line, column);
}

// The checks of the text that the component does not make, or makes otherwise than libxml2 does
// on Linux; then the text the component is given: control-character references hidden, and the
// declaration blanked out, as the component would take the encoding it names at its word (the
// text is UTF-16 whatever it says). Blanks keep every line and column where it was.
std::u16string PrepareText(std::u16string_view text, bool& controlsHidden) {
    CheckDocumentSize(text);
    if (const auto at = detail::FindForbiddenCharacter(text)) {
        // Where it stands: the component would not say.
        const std::string before = kernel::WideToUtf8(text.substr(0, *at));
        const auto [line, column] = detail::LineAndColumnOf(before, before.size());
        char code[8];
        std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(text[*at]));
        throw EXmlParseError(std::string("Invalid character U+") + code + " in the text", line,
                             column);
    }
    std::string utf8 = kernel::WideToUtf8(text);
    detail::RefuseCrowdedElement(utf8);
    if (const auto at = detail::FindDoctype(utf8))
        RefuseAt(utf8, *at, "Document type declarations are not allowed");
    if (const auto at = detail::FindTooDeepElement(utf8, MaxElementDepth))
        RefuseAt(utf8, *at,
                 "Excessive depth in document: more than " + std::to_string(MaxElementDepth) +
                     " nested elements");
    controlsHidden = detail::HideControlReferences(utf8);
    std::u16string prepared = controlsHidden ? kernel::Utf8ToWide(utf8) : std::u16string(text);
    const std::size_t end = DeclarationEnd(prepared);
    for (std::size_t i = 0; i < end; ++i)
        if (prepared[i] != u'\r' && prepared[i] != u'\n') prepared[i] = u' ';
    return prepared;
}

[[noreturn]] void RaiseParseError(IXMLDOMDocument2* doc) {
    TRef<IXMLDOMParseError> error;
    std::string reason;
    long line = 0, column = 0;
    if (SUCCEEDED(doc->get_parseError(error.ReleaseAndGetAddressOf())) && error) {
        TSysString text;
        if (SUCCEEDED(error->get_reason(text.Out()))) {
            std::u16string message = detail::TextOf(text.Get());
            while (!message.empty() &&
                   (message.back() == u'\n' || message.back() == u'\r' || message.back() == u' '))
                message.pop_back();
            reason = kernel::WideToAnsi(message);
        }
        error->get_line(&line);
        error->get_linepos(&column);
    }
    if (reason.empty()) reason = "The document is not well-formed";
    // The component may not know where (Wine's does not): the start then stands for the place.
    throw EXmlParseError(std::move(reason), line > 0 ? static_cast<int>(line) : 1,
                         column > 0 ? static_cast<int>(column) : 1);
}

} // namespace

TXmlDocument::TXmlDocument(std::shared_ptr<detail::TTree> tree)
    : TXmlNode(tree, NodeOfDocument(tree->Doc.Get())) {}

TXmlDocument::~TXmlDocument() = default;

XmlDocument TXmlDocument::Create() {
    auto tree = std::make_shared<detail::TTree>(detail::NewComDocument());
    return XmlDocument::Adopt(new TXmlDocument(std::move(tree)));
}

void TXmlDocument::LoadXml(std::u16string_view text) {
    bool controlsHidden = false;
    const std::u16string prepared = PrepareText(text, controlsHidden);
    // A new document of the component: on failure this one keeps its content, and nodes of the
    // old content stay valid and in their own tree.
    auto tree = std::make_shared<detail::TTree>(detail::NewComDocument());
    IXMLDOMDocument2* doc = tree->Doc.Get();
    TSysString source(prepared);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = doc->loadXML(source.Get(), &loaded);
    if (FAILED(hr)) detail::RaiseComError(hr, "The XML component failed to load");
    if (loaded != VARIANT_TRUE) RaiseParseError(doc);
    detail::DropBlankText(doc, false);
    if (controlsHidden) detail::RestoreControlCharacters(doc);
    if (DeclarationEnd(text) != 0) {
        // The declaration is a node of the document, as the DOM presents it; the text is UTF-16
        // from now on, so that is the encoding it declares.
        TSysString target(u"xml");
        TSysString data(kDeclaration);
        TRef<IXMLDOMProcessingInstruction> pi;
        Check(
            doc->createProcessingInstruction(target.Get(), data.Get(), pi.ReleaseAndGetAddressOf()),
            "The XML component could not create the declaration");
        TRef<IXMLDOMNode> first;
        Check(doc->get_firstChild(first.ReleaseAndGetAddressOf()),
              "The XML component gave no child");
        ::VARIANT before;
        ::VariantInit(&before);
        if (first) {
            before.vt = VT_UNKNOWN;
            before.punkVal = first.Get();
        }
        TRef<IXMLDOMNode> inserted;
        Check(doc->insertBefore(pi.Get(), before, inserted.ReleaseAndGetAddressOf()),
              "The XML component could not insert the declaration");
    }
    IXMLDOMNode* node = NodeOfDocument(doc);
    FNode->Release();
    FNode = node;
    FTree = std::move(tree);
}

XmlNode TXmlDocument::DocumentElement() const {
    TRef<IXMLDOMElement> root;
    Check(FTree->Doc->get_documentElement(root.ReleaseAndGetAddressOf()),
          "The XML component gave no document element");
    if (!root) return nullptr;
    return XmlNode::Adopt(new TXmlNode(FTree, root.Detach()));
}

void TXmlDocument::SetDocumentElement(const XmlNode& element) {
    TRef<IXMLDOMElement> root = element ? detail::AsElement(element->FNode) : nullptr;
    if (!root || element->FTree != FTree)
        throw EXmlError("The document element must be an element of this document", E_INVALIDARG);
    Check(FTree->Doc->putref_documentElement(root.Get()),
          "The XML component could not set the document element");
}

XmlNode TXmlDocument::CreateElement(std::u16string_view name) {
    if (!detail::IsXmlName(name))
        throw EXmlError("Invalid element name '" + kernel::WideToAnsi(name) + "'", E_INVALIDARG);
    TSysString tag(name);
    TRef<IXMLDOMElement> element;
    Check(FTree->Doc->createElement(tag.Get(), element.ReleaseAndGetAddressOf()),
          "The XML component could not create an element");
    return XmlNode::Adopt(new TXmlNode(FTree, element.Detach()));
}

XmlNode TXmlDocument::CreateProcessingInstruction(std::u16string_view target,
                                                  std::u16string_view data) {
    if (!detail::IsXmlName(target))
        throw EXmlError("Invalid processing instruction target '" + kernel::WideToAnsi(target) +
                            "'",
                        E_INVALIDARG);
    if (data.find(u"?>") != std::u16string_view::npos)
        throw EXmlError("A processing instruction cannot contain '?>'", E_INVALIDARG);
    TSysString name(target);
    TSysString content(data);
    TRef<IXMLDOMProcessingInstruction> pi;
    Check(FTree->Doc->createProcessingInstruction(name.Get(), content.Get(),
                                                  pi.ReleaseAndGetAddressOf()),
          "The XML component could not create a processing instruction");
    return XmlNode::Adopt(new TXmlNode(FTree, pi.Detach()));
}

XmlNode TXmlDocument::CreateComment(std::u16string_view text) {
    // A comment is written as it is, so it may hold nothing that would end it or that XML 1.0
    // cannot carry raw.
    const bool control = std::any_of(text.begin(), text.end(), [](char16_t c) {
        return c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
    });
    if (control || text.find(u"--") != std::u16string_view::npos ||
        (!text.empty() && text.back() == u'-'))
        throw EXmlError("A comment cannot hold '--', end with '-' or hold control characters",
                        E_INVALIDARG);
    TSysString content(text);
    TRef<IXMLDOMComment> comment;
    Check(FTree->Doc->createComment(content.Get(), comment.ReleaseAndGetAddressOf()),
          "The XML component could not create a comment");
    return XmlNode::Adopt(new TXmlNode(FTree, comment.Detach()));
}

namespace {

// A copy of `source` made by `doc` (so owned by it), with its attributes and, when `deep`, all
// below it. Built node by node: the component's own cloning keeps a copy in the source's document.
TRef<IXMLDOMNode> CopyNode(IXMLDOMDocument2* doc, IXMLDOMNode* source, bool deep) {
    const std::u16string name = detail::NodeNameOf(source);
    TRef<IXMLDOMNode> copy;
    switch (NodeTypeOf(source)) {
    case NODE_ELEMENT: {
        TSysString tag(name);
        TRef<IXMLDOMElement> element;
        Check(doc->createElement(tag.Get(), element.ReleaseAndGetAddressOf()),
              "The XML component could not create an element");
        detail::ForEachAttribute(source, [&](IXMLDOMNode* attribute) {
            TSysString attributeName(detail::NodeNameOf(attribute));
            TSysString value(detail::NodeValueOf(attribute));
            ::VARIANT holder;
            ::VariantInit(&holder);
            holder.vt = VT_BSTR;
            holder.bstrVal = value.Get();
            Check(element->setAttribute(attributeName.Get(), holder),
                  "The XML component could not set an attribute");
        });
        copy = TRef<IXMLDOMNode>::Adopt(element.Detach());
        if (!deep) return copy;
        TRef<IXMLDOMNode> child;
        Check(source->get_firstChild(child.ReleaseAndGetAddressOf()),
              "The XML component gave no child");
        while (child) {
            TRef<IXMLDOMNode> part = CopyNode(doc, child.Get(), true);
            if (part) {
                TRef<IXMLDOMNode> appended;
                Check(copy->appendChild(part.Get(), appended.ReleaseAndGetAddressOf()),
                      "The XML component could not append a child");
            }
            TRef<IXMLDOMNode> next;
            Check(child->get_nextSibling(next.ReleaseAndGetAddressOf()),
                  "The XML component gave no sibling");
            child = std::move(next);
        }
        return copy;
    }
    case NODE_TEXT: {
        TSysString text(detail::NodeValueOf(source));
        TRef<IXMLDOMText> node;
        Check(doc->createTextNode(text.Get(), node.ReleaseAndGetAddressOf()),
              "The XML component could not create a text");
        return TRef<IXMLDOMNode>::Adopt(node.Detach());
    }
    case NODE_CDATA_SECTION: {
        TSysString text(detail::NodeValueOf(source));
        TRef<IXMLDOMCDATASection> node;
        Check(doc->createCDATASection(text.Get(), node.ReleaseAndGetAddressOf()),
              "The XML component could not create a CDATA section");
        return TRef<IXMLDOMNode>::Adopt(node.Detach());
    }
    case NODE_COMMENT: {
        TSysString text(detail::NodeValueOf(source));
        TRef<IXMLDOMComment> node;
        Check(doc->createComment(text.Get(), node.ReleaseAndGetAddressOf()),
              "The XML component could not create a comment");
        return TRef<IXMLDOMNode>::Adopt(node.Detach());
    }
    case NODE_PROCESSING_INSTRUCTION: {
        TSysString target(name);
        TSysString data(detail::NodeValueOf(source));
        TRef<IXMLDOMProcessingInstruction> node;
        Check(doc->createProcessingInstruction(target.Get(), data.Get(),
                                               node.ReleaseAndGetAddressOf()),
              "The XML component could not create a processing instruction");
        return TRef<IXMLDOMNode>::Adopt(node.Detach());
    }
    default:
        return nullptr; // nothing else is ever in a tree of ours
    }
}

} // namespace

XmlNode TXmlDocument::ImportNode(const XmlNode& node, bool deep) {
    if (!node) throw EXmlError("No node to import", E_INVALIDARG);
    const DOMNodeType type = NodeTypeOf(node->FNode);
    if (type != NODE_ELEMENT && type != NODE_COMMENT && type != NODE_PROCESSING_INSTRUCTION)
        throw EXmlError("This kind of node cannot be imported", E_INVALIDARG);
    TRef<IXMLDOMNode> copy = CopyNode(FTree->Doc.Get(), node->FNode, deep);
    return XmlNode::Adopt(new TXmlNode(FTree, copy.Detach()));
}

} // namespace quill::xml
