// Private detail of the DOM on Windows: the XML component's document that documents and nodes
// share, and the helpers the DOM's Windows sources use among themselves. Includes the system's
// headers, so it is included last, after every header of ours. Not for use outside
// platform/xml/win32.
#pragma once

#include "platform/xml/dom.h"
#include "platform/xml/dom_text_filters.h"

#include <windows.h>

#include <msxml2.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace quill::xml {
namespace detail {

// A counted reference to one of the component's interfaces.
template <class T> using TRef = com::ComPtr<T>;

// The component's document. Freed when the last document or node object that refers to it goes;
// the component keeps each node alive for as long as a reference to it is held.
struct TTree {
    explicit TTree(TRef<IXMLDOMDocument2> doc) : Doc(std::move(doc)) {}
    TTree(const TTree&) = delete;
    TTree& operator=(const TTree&) = delete;
    TRef<IXMLDOMDocument2> Doc;
};

// Interface identifiers of the component that MinGW declares but no library of it defines.
extern const IID IidDomDocument2;
extern const IID IidDomElement;

// Initialises COM on the calling thread unless it is initialised already (once per thread).
void EnsureCom();

// A new document of the component: "Msxml2.DOMDocument", else "MSXML.DOMDocument"; synchronous,
// XPath selection, document type declarations prohibited, nothing external resolved or validated.
TRef<IXMLDOMDocument2> NewComDocument();

// Raises EXmlError with `what` and the thread's error information, if any, for a failed call.
[[noreturn]] void RaiseComError(HRESULT hr, const std::string& what);
// Raises EXmlError (or std::bad_alloc for E_OUTOFMEMORY) when `hr` failed.
void Check(HRESULT hr, const char* what);

// A system string that frees itself. Our BSTR is char16_t, the system's wchar_t, both UTF-16.
class TSysString {
  public:
    TSysString() = default;
    explicit TSysString(std::u16string_view text);
    TSysString(const TSysString&) = delete;
    TSysString& operator=(const TSysString&) = delete;
    ~TSysString() { ::SysFreeString(FText); }
    ::BSTR Get() const { return FText; }
    // Releases what is held and hands out the address for an out parameter.
    ::BSTR* Out();

  private:
    ::BSTR FText = nullptr;
};

std::u16string TextOf(::BSTR text);
// The text of a variant that the component filled in (empty unless it holds a string); clears it.
std::u16string TakeText(::VARIANT& value);

// The node's kind, name and value as the component reports them.
DOMNodeType NodeTypeOf(IXMLDOMNode* node);
std::u16string NodeNameOf(IXMLDOMNode* node);
std::u16string NodeValueOf(IXMLDOMNode* node);
TRef<IXMLDOMNode> ParentOf(IXMLDOMNode* node);
TRef<IXMLDOMElement> AsElement(IXMLDOMNode* node);

// Calls `visit` for each child of `node`, in order.
template <class F> void ForEachChild(IXMLDOMNode* node, F visit) {
    TRef<IXMLDOMNode> child;
    Check(node->get_firstChild(child.ReleaseAndGetAddressOf()), "The XML component gave no child");
    while (child) {
        visit(child.Get());
        TRef<IXMLDOMNode> next;
        Check(child->get_nextSibling(next.ReleaseAndGetAddressOf()),
              "The XML component gave no sibling");
        child = std::move(next);
    }
}

// Calls `visit` for each attribute of the element `node`, in order.
template <class F> void ForEachAttribute(IXMLDOMNode* node, F visit) {
    TRef<IXMLDOMNamedNodeMap> attributes;
    Check(node->get_attributes(attributes.ReleaseAndGetAddressOf()),
          "The XML component gave no attributes");
    long count = 0;
    if (attributes) Check(attributes->get_length(&count), "The XML component gave no attributes");
    for (long i = 0; i < count; ++i) {
        TRef<IXMLDOMNode> attribute;
        Check(attributes->get_item(i, attribute.ReleaseAndGetAddressOf()),
              "The XML component gave no attribute");
        if (attribute) visit(attribute.Get());
    }
}

// Whether `text` is an XML name (the component itself takes any name).
bool IsXmlName(std::u16string_view text);

// Writes `node` and its descendants as XML text, by the rules of our own serialiser.
void SerialiseNode(IXMLDOMNode* node, std::u16string& out);

// Turns the noncharacters that the load put in for control characters back, in every text node
// and attribute value below `node`.
void RestoreControlCharacters(IXMLDOMNode* node);
// Joins adjacent text nodes below `node` (the component may split a text at a character
// reference) and removes those that hold only blanks (space, tab, CR, LF), unless an
// xml:space="preserve" scope keeps them: the indentation of a hand-written file is not content.
// `preserve` tells whether `node` is in such a scope.
void DropBlankText(IXMLDOMNode* node, bool preserve);

} // namespace detail
} // namespace quill::xml
