// Nodes over the component: kind, name, text, parent, attributes, insertion and selection.
#include "platform/kernel/codepage.h"
#include "platform/xml/win32/dom_com.h"

#include <atomic>
#include <new>

namespace quill::xml {

using detail::Check;
using detail::NodeTypeOf;
using detail::TRef;
using detail::TSysString;

XmlNode TXmlNodeList::Item(std::size_t index) const {
    if (index >= FNodes.size()) return nullptr;
    return FNodes[index];
}

TXmlNode::TXmlNode(std::shared_ptr<detail::TTree> tree, detail::TNativeNode* node)
    : FTree(std::move(tree)), FNode(node) {}

TXmlNode::~TXmlNode() {
    if (FNode) FNode->Release();
}

TXmlNodeType TXmlNode::NodeType() const {
    switch (NodeTypeOf(FNode)) {
    case NODE_ELEMENT:
        return TXmlNodeType::Element;
    case NODE_ATTRIBUTE:
        return TXmlNodeType::Attribute;
    case NODE_TEXT:
        return TXmlNodeType::Text;
    case NODE_CDATA_SECTION:
        return TXmlNodeType::CData;
    case NODE_PROCESSING_INSTRUCTION:
        return TXmlNodeType::ProcessingInstruction;
    case NODE_COMMENT:
        return TXmlNodeType::Comment;
    case NODE_DOCUMENT:
        return TXmlNodeType::Document;
    default:
        return TXmlNodeType::Other;
    }
}

std::u16string TXmlNode::NodeName() const {
    return detail::NodeNameOf(FNode);
}

std::u16string TXmlNode::Xml() const {
    std::u16string out;
    detail::SerialiseNode(FNode, out);
    return out;
}

XmlNode TXmlNode::ParentNode() const {
    const DOMNodeType type = NodeTypeOf(FNode);
    if (type == NODE_DOCUMENT || type == NODE_ATTRIBUTE) return nullptr;
    TRef<IXMLDOMNode> parent = detail::ParentOf(FNode);
    if (!parent) return nullptr;
    return XmlNode::Adopt(new TXmlNode(FTree, parent.Detach()));
}

std::optional<std::u16string> TXmlNode::GetAttribute(std::u16string_view name) const {
    TRef<IXMLDOMElement> element = detail::AsElement(FNode);
    if (!element) return std::nullopt;
    TSysString attributeName(name);
    ::VARIANT value;
    ::VariantInit(&value);
    const HRESULT hr = element->getAttribute(attributeName.Get(), &value);
    Check(hr, "The XML component could not read an attribute");
    if (hr == S_FALSE || value.vt != VT_BSTR) {
        ::VariantClear(&value);
        return std::nullopt;
    }
    return detail::TakeText(value);
}

void TXmlNode::SetAttribute(std::u16string_view name, std::u16string_view value) {
    TRef<IXMLDOMElement> element = detail::AsElement(FNode);
    if (!element) throw EXmlError("Only an element has attributes", E_INVALIDARG);
    if (!detail::IsXmlName(name))
        throw EXmlError("Invalid attribute name '" + kernel::WideToAnsi(name) + "'", E_INVALIDARG);
    // The same refusal as on Linux, where values are C strings: a value must read back whole.
    if (value.find(u'\0') != std::u16string_view::npos)
        throw EXmlError("The value of attribute '" + kernel::WideToAnsi(name) +
                            "' holds the character U+0000, which XML cannot carry",
                        E_INVALIDARG);
    TSysString attributeName(name);
    TSysString text(value);
    ::VARIANT holder;
    ::VariantInit(&holder);
    holder.vt = VT_BSTR;
    holder.bstrVal = text.Get();
    Check(element->setAttribute(attributeName.Get(), holder),
          "The XML component could not set an attribute");
}

namespace {

// The component gives out a new object for a node on every call, so node objects cannot be
// compared. An element is recognised by a mark: an attribute with a value that no document holds,
// set for the comparison and removed after it.
class TMark {
  public:
    explicit TMark(IXMLDOMElement* element) : FElement(element) {
        static std::atomic<unsigned> counter{0};
        FValue = u"mark-" + kernel::Utf8ToWide(std::to_string(++counter)) + u"-" +
                 kernel::Utf8ToWide(std::to_string(::GetCurrentProcessId()));
        ::VARIANT holder;
        ::VariantInit(&holder);
        TSysString value(FValue);
        holder.vt = VT_BSTR;
        holder.bstrVal = value.Get();
        Check(FElement->setAttribute(Name().Get(), holder), "The XML component refused a mark");
    }
    TMark(const TMark&) = delete;
    TMark& operator=(const TMark&) = delete;
    ~TMark() { FElement->removeAttribute(Name().Get()); }

    bool On(IXMLDOMNode* node) const {
        TRef<IXMLDOMElement> element = detail::AsElement(node);
        if (!element) return false;
        ::VARIANT value;
        ::VariantInit(&value);
        if (element->getAttribute(Name().Get(), &value) != S_OK) {
            ::VariantClear(&value);
            return false;
        }
        return detail::TakeText(value) == FValue;
    }

  private:
    static TSysString Name() { return TSysString(u"quill-node-mark"); }
    IXMLDOMElement* FElement;
    std::u16string FValue;
};

long IndexAmongSiblings(IXMLDOMNode* node) {
    long index = 0;
    TRef<IXMLDOMNode> current(node);
    for (;;) {
        TRef<IXMLDOMNode> previous;
        Check(current->get_previousSibling(previous.ReleaseAndGetAddressOf()),
              "The XML component gave no sibling");
        if (!previous) return index;
        current = std::move(previous);
        ++index;
    }
}

// Whether `a` and `b` (nodes of one tree) are the same node.
bool SameNode(IXMLDOMNode* a, IXMLDOMNode* b) {
    const DOMNodeType type = NodeTypeOf(a);
    if (type != NodeTypeOf(b)) return false;
    if (type == NODE_DOCUMENT) return true;
    if (type == NODE_ELEMENT) {
        TRef<IXMLDOMElement> element = detail::AsElement(a);
        if (!element) return false;
        const TMark mark(element.Get());
        return mark.On(b);
    }
    // Any other node is a leaf: the same place under the same parent.
    TRef<IXMLDOMNode> parentA = detail::ParentOf(a);
    TRef<IXMLDOMNode> parentB = detail::ParentOf(b);
    if (!parentA || !parentB) return false;
    return SameNode(parentA.Get(), parentB.Get()) && IndexAmongSiblings(a) == IndexAmongSiblings(b);
}

// Whether `candidate` (an element) is `node` or one of its ancestors.
bool IsAncestorOrSelf(IXMLDOMNode* candidate, IXMLDOMNode* node) {
    TRef<IXMLDOMElement> element = detail::AsElement(candidate);
    if (!element) return false;
    const TMark mark(element.Get());
    for (TRef<IXMLDOMNode> p(node); p; p = detail::ParentOf(p.Get()))
        if (mark.On(p.Get())) return true;
    return false;
}

} // namespace

XmlNode TXmlNode::InsertBefore(const XmlNode& newChild, const XmlNode& refChild) {
    if (!newChild) throw EXmlError("No node to insert", E_INVALIDARG);
    IXMLDOMNode* child = newChild->FNode;
    if (newChild->FTree != FTree)
        throw EXmlError("The node belongs to another document", E_INVALIDARG);
    const DOMNodeType parentType = NodeTypeOf(FNode);
    if (parentType != NODE_ELEMENT && parentType != NODE_DOCUMENT)
        throw EXmlError("This node cannot have children", E_INVALIDARG);
    const DOMNodeType childType = NodeTypeOf(child);
    if (childType != NODE_ELEMENT && childType != NODE_PROCESSING_INSTRUCTION &&
        childType != NODE_COMMENT)
        throw EXmlError("This kind of node cannot be inserted", E_INVALIDARG);
    // The component itself would link a node below itself and loop for ever.
    if (IsAncestorOrSelf(child, FNode))
        throw EXmlError("A node cannot contain itself", E_INVALIDARG);
    IXMLDOMNode* before = refChild ? refChild->FNode : nullptr;
    if (before) {
        TRef<IXMLDOMNode> parent = detail::ParentOf(before);
        if (refChild->FTree != FTree || !parent || !SameNode(parent.Get(), FNode))
            throw EXmlError("The reference node is not a child of this node", E_INVALIDARG);
        if (SameNode(before, child)) return newChild;
    }
    if (parentType == NODE_DOCUMENT && childType == NODE_ELEMENT) {
        TRef<IXMLDOMElement> root;
        Check(FTree->Doc->get_documentElement(root.ReleaseAndGetAddressOf()),
              "The XML component gave no document element");
        if (root && !SameNode(root.Get(), child))
            throw EXmlError("The document already has a document element", E_INVALIDARG);
    }
    ::VARIANT reference;
    ::VariantInit(&reference);
    if (before) {
        reference.vt = VT_UNKNOWN;
        reference.punkVal = before;
    }
    TRef<IXMLDOMNode> inserted;
    const HRESULT hr = FNode->insertBefore(child, reference, inserted.ReleaseAndGetAddressOf());
    if (FAILED(hr)) detail::RaiseComError(hr, "The node could not be inserted");
    return newChild;
}

TXmlNodeList TXmlNode::SelectNodes(std::u16string_view xpath) const {
    TSysString expression(RewriteXPath(xpath));
    TRef<IXMLDOMNodeList> found;
    const HRESULT hr = FNode->selectNodes(expression.Get(), found.ReleaseAndGetAddressOf());
    if (FAILED(hr) || !found)
        detail::RaiseComError(FAILED(hr) ? hr : E_FAIL,
                              "Invalid XPath expression in '" + kernel::WideToAnsi(xpath) + "'");
    long length = 0;
    Check(found->get_length(&length), "The XML component gave no selection");
    TXmlNodeList list;
    list.FTree = FTree;
    list.FNodes.reserve(static_cast<std::size_t>(length));
    for (long i = 0; i < length; ++i) {
        TRef<IXMLDOMNode> node;
        Check(found->get_item(i, node.ReleaseAndGetAddressOf()), "The XML component gave no node");
        if (node) list.FNodes.push_back(XmlNode::Adopt(new TXmlNode(FTree, node.Detach())));
    }
    return list;
}

XmlNode TXmlNode::SelectSingleNode(std::u16string_view xpath) const {
    TXmlNodeList list = SelectNodes(xpath);
    return list.Item(0);
}

} // namespace quill::xml
