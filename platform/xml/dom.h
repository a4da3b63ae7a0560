// The XML DOM: documents and nodes over libxml2 (on Windows over the system's XML component through
// COM, platform/xml/win32), with the handful of operations the settings code
// calls (create by programmatic identifier, the selection-language property, the asynchronous-load
// switch, load from text, document element, create element and processing instruction, insert
// before and append, parent, select nodes, select a single node, get and set an attribute, node
// name and the XML text).
//
// Documents and nodes are reference-counted objects (ComPtr) that implement IDispatch, so they
// travel in a VARIANT as VT_DISPATCH; through IDispatch they answer only the property "xml" (the
// name compared ignoring case). NodeFromVariant recovers the object from such a variant.
//
// Texts are UTF-16. The XML text of a document is UTF-16 and, when the document has a declaration,
// starts with <?xml version="1.0" encoding="UTF-16"?>. Loading is synchronous and hardened: a
// document type declaration is refused before any of it is read (so no DTD is loaded and no entity
// is declared or expanded) and no network access happens. A load drops text nodes that hold only
// blanks (indentation), except under xml:space="preserve", so a compact file and the same file
// indented by hand give the same tree; other text is kept exactly. Control characters that XML
// 1.0 cannot carry are written as character references and read back from them (a strict outside
// parser refuses such text); U+0000 cannot be held at all. XPath is XPath 1.0 (libxml2's, or the
// component's); every step that names a non-ASCII element is given its axis ("child::Name"),
// because libxml2 2.9 rejects such a name after a leading "/", and Wine's component fails such a
// first step when a predicate follows it. On both systems the XML text is written by our own
// serialiser, so a document gives the same text on either.
//
// Ownership: a node keeps its document's tree alive; nodes created but never inserted, and nodes
// displaced from the tree, are freed with the tree. Loading new text gives the document a new tree
// while node references into the old tree stay valid. Errors raise EXmlError (EXmlParseError for
// text that is not well-formed, with the parser's message, line and column); nothing else is
// thrown but std::bad_alloc. A document and its nodes are used on one thread at a time; distinct
// documents may be used on distinct threads. On Windows a thread that has not initialised COM has
// it initialised (multithreaded apartment) by its first document, for the rest of its life.
#pragma once

#include "platform/com/dispatch.h"
#include "platform/rtl/exception.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
struct IXMLDOMNode;
#else
struct _xmlNode;
#endif

namespace quill::xml {

// A failure reported by the DOM. Its result code is E_FAIL unless stated otherwise.
class EXmlError : public rtl::EOleSysError {
  public:
    explicit EXmlError(std::string message, com::HRESULT code = com::E_FAIL);
    ~EXmlError() override;
};

// Text that is not well-formed XML (or declares a document type). Line and column count from 1;
// `Reason` is the parser's own message (Windows-1251).
class EXmlParseError : public EXmlError {
  public:
    EXmlParseError(std::string reason, int line, int column);
    ~EXmlParseError() override;
    const std::string& Reason() const { return FReason; }
    int Line() const { return FLine; }
    int Column() const { return FColumn; }

  private:
    std::string FReason;
    int FLine;
    int FColumn;
};

// The largest document text the parser takes, in bytes of its UTF-8 form.
constexpr std::size_t MaxDocumentBytes = 0x7FFFFFFF;
// The most attributes one element may carry: the parser compares each attribute of a start tag
// with every one before it, so an element with a huge number of them would take minutes to load.
// A text with an element beyond the limit is refused with EXmlParseError before it is parsed.
constexpr std::size_t MaxAttributesPerElement = 256;
// The deepest nesting of elements a document may have (the root is at depth 1): what libxml2
// takes without its "huge" option. A deeper text is refused with EXmlParseError ("Excessive
// depth in document") at the first start tag beyond the limit.
constexpr std::size_t MaxElementDepth = 257;
// Bytes of the UTF-8 form of `text`, counted without converting it.
std::size_t Utf8Length(std::u16string_view text);
// Raises EXmlParseError "Document too large" for a text beyond MaxDocumentBytes; callers check a
// text they are given before they copy or convert it.
void CheckDocumentSize(std::u16string_view text);

// The tree the nodes share. Its members, and the constructors that take it, stay inside the
// run-time: the namespace is declared here without the hidden attribute only because the public
// node classes hold it.
namespace detail {
struct TTree;
// The parser's own node that a node object stands for (on Windows a counted reference to it).
#ifdef _WIN32
using TNativeNode = ::IXMLDOMNode;
#else
using TNativeNode = ::_xmlNode;
#endif
} // namespace detail

class TXmlNode;
class TXmlDocument;
using XmlNode = com::ComPtr<TXmlNode>;
using XmlDocument = com::ComPtr<TXmlDocument>;

enum class TXmlNodeType {
    Element,
    Attribute,
    Text,
    CData,
    ProcessingInstruction,
    Comment,
    Document,
    Other
};

// The nodes a selection found, in document order. A plain value: it keeps the tree alive.
class TXmlNodeList {
  public:
    TXmlNodeList() = default;
    std::size_t Length() const { return FNodes.size(); }
    // The node at `index`; nil past the end (as the DOM's item()).
    XmlNode Item(std::size_t index) const;

  private:
    friend class TXmlNode;
    std::shared_ptr<detail::TTree> FTree;
#ifdef _WIN32
    // The component hands out a new object for a node each time: the list keeps the ones it made.
    std::vector<XmlNode> FNodes;
#else
    std::vector<_xmlNode*> FNodes;
#endif
};

class TXmlNode : public com::IDispatch {
  public:
    static constexpr com::GUID Guid = com::MakeGuid("5F0C7A31-2B6E-4D8A-9E13-7C4B2A9D6E05");
    // The one late-bound member.
    static constexpr com::DISPID DispIdXml = 1;

    TXmlNode(const TXmlNode&) = delete;
    TXmlNode& operator=(const TXmlNode&) = delete;

    // IUnknown: answers IUnknown, IDispatch and TXmlNode::Guid (TXmlDocument::Guid for documents).
    com::HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override;
    com::ULONG STDMETHODCALLTYPE AddRef() override;
    com::ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: GetIDsOfNames knows "xml"; Invoke reads it as a property (VT_BSTR).
    com::HRESULT STDMETHODCALLTYPE GetTypeInfoCount(com::UINT* count) override;
    com::HRESULT STDMETHODCALLTYPE GetTypeInfo(com::UINT index, com::LCID locale,
                                               com::ITypeInfo** info) override;
    com::HRESULT STDMETHODCALLTYPE GetIDsOfNames(com::REFIID iid, com::OLECHAR** names,
                                                 com::UINT count, com::LCID locale,
                                                 com::DISPID* ids) override;
    com::HRESULT STDMETHODCALLTYPE Invoke(com::DISPID id, com::REFIID iid, com::LCID locale,
                                          com::WORD flags, com::DISPPARAMS* params,
                                          com::VARIANT* result, com::EXCEPINFO* exception,
                                          com::UINT* argumentError) override;

    TXmlNodeType NodeType() const;
    // The element, attribute or processing-instruction target name; "#document", "#text",
    // "#cdata-section", "#comment" for the others.
    std::u16string NodeName() const;
    // The node and its descendants as XML text (a document's text ends with CR LF).
    std::u16string Xml() const;
    // The parent node, nil for a document and for a node not in a tree.
    XmlNode ParentNode() const;

    // The attribute's value; nothing when the node has no such attribute or is no element.
    std::optional<std::u16string> GetAttribute(std::u16string_view name) const;
    // Sets (or adds) an attribute of an element. The value is converted to text as the platform
    // converts a variant to a string, except that a Boolean is written "1" or "0", so that a
    // written flag reads back as an integer and as the text "1". Raises for a bad name, a value
    // holding U+0000, a value
    // without a text form, or a node that is no element.
    void SetAttribute(std::u16string_view name, const com::VARIANT& value);
    void SetAttribute(std::u16string_view name, std::u16string_view value);

    // Inserts `newChild` (an element, processing instruction or comment of this node's document)
    // before `refChild` (a child of this node), or at the end when `refChild` is nil; a child
    // that is already in the tree is moved. Returns `newChild`. Raises for a node of another
    // document, a node that would contain itself, a second document element, or a parent that is
    // neither an element nor a document.
    XmlNode InsertBefore(const XmlNode& newChild, const XmlNode& refChild);
    XmlNode AppendChild(const XmlNode& newChild) { return InsertBefore(newChild, nullptr); }

    // XPath selection with this node as context node.
    TXmlNodeList SelectNodes(std::u16string_view xpath) const;
    // The first node in document order that `xpath` selects, or nil.
    XmlNode SelectSingleNode(std::u16string_view xpath) const;

  protected:
    // Takes over the caller's reference to `node` on Windows.
    [[gnu::visibility("hidden")]] TXmlNode(std::shared_ptr<detail::TTree> tree,
                                           detail::TNativeNode* node);
    virtual ~TXmlNode();
    friend class TXmlNodeList;
    friend class TXmlDocument;

    std::shared_ptr<detail::TTree> FTree;
    detail::TNativeNode* FNode;

  private:
    std::atomic<com::ULONG> FRefCount{1};
};

class TXmlDocument : public TXmlNode {
  public:
    static constexpr com::GUID Guid = com::MakeGuid("5F0C7A31-2B6E-4D8A-9E13-7C4B2A9D6E06");

    // An empty document (no children), asynchronous loading on, selection language "XPath".
    static XmlDocument Create();

    com::HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override;

    // Parses `text` and replaces the document's content with it. On failure the document keeps
    // its previous content and EXmlParseError is raised. A declaration in the text becomes the
    // processing instruction "xml" with the UTF-16 declaration.
    void LoadXml(std::u16string_view text);

    // The root element, or nil.
    XmlNode DocumentElement() const;
    // Makes `element` (created by this document) the root element, replacing the current one.
    void SetDocumentElement(const XmlNode& element);
    XmlNode CreateElement(std::u16string_view name);
    XmlNode CreateProcessingInstruction(std::u16string_view target, std::u16string_view data);
    // A comment of this document (not yet in the tree). Raises for text that a comment cannot
    // hold ("--", a final "-", control characters but tab, CR and LF).
    XmlNode CreateComment(std::u16string_view text);
    // A copy, owned by this document and not yet in its tree, of `node` (an element, comment or
    // processing instruction of any document) with its attributes and, when `deep`, everything
    // below it; the source is not changed.
    XmlNode ImportNode(const XmlNode& node, bool deep);
    // The only property is "SelectionLanguage", whose only value is "XPath"; anything else raises.
    void SetProperty(std::u16string_view name, std::u16string_view value);
    std::u16string GetProperty(std::u16string_view name) const;
    // Loading is always synchronous here; the switch is kept for callers that set and read it.
    void SetAsync(bool value) { FAsync = value; }
    bool Async() const { return FAsync; }

  private:
    [[gnu::visibility("hidden")]] explicit TXmlDocument(std::shared_ptr<detail::TTree> tree);
    ~TXmlDocument() override;
    bool FAsync = true;
};

// Creates a document object by programmatic identifier: "Msxml2.DOMDocument" and
// "MSXML.DOMDocument" (ignoring case) are known; any other raises EOleSysError with
// CO_E_CLASSSTRING ("Invalid class string").
XmlDocument CreateDomObject(std::u16string_view progId);

// The node a variant holds (VT_DISPATCH or VT_UNKNOWN, also by reference), or nil.
XmlNode NodeFromVariant(const com::VARIANT& value);
// A VT_DISPATCH variant holding a new reference to `node` (empty when `node` is nil).
com::OleVariant NodeToVariant(const XmlNode& node);

// The expression libxml2 evaluates for `xpath`: every name test that starts with a non-ASCII
// letter, wherever it stands (after "/", "//", "(", "|", "[", ",", an operator or at the start),
// gets the explicit axis "child::"; names after "@", "$" or an axis, and string literals, are left
// alone. Exposed for tests.
std::u16string RewriteXPath(std::u16string_view xpath);

} // namespace quill::xml
