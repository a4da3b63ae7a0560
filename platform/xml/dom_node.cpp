// Nodes: reference counting, the late-bound "xml" property, attributes, insertion, selection.
#include "platform/xml/dom_impl.h"

#include "platform/com/variant.h"
#include "platform/kernel/codepage.h"

#include <libxml/xpathInternals.h>

#include <memory>
#include <new>

namespace quill::xml {

using namespace com;
using detail::FromUtf8;
using detail::ToUtf8;

XmlNode TXmlNodeList::Item(std::size_t index) const {
    if (index >= FNodes.size()) return nullptr;
    return XmlNode::Adopt(new TXmlNode(FTree, FNodes[index]));
}

TXmlNode::TXmlNode(std::shared_ptr<detail::TTree> tree, _xmlNode* node)
    : FTree(std::move(tree)), FNode(node) {}

TXmlNode::~TXmlNode() = default;

TXmlNodeType TXmlNode::NodeType() const {
    switch (FNode->type) {
    case XML_ELEMENT_NODE:
        return TXmlNodeType::Element;
    case XML_ATTRIBUTE_NODE:
        return TXmlNodeType::Attribute;
    case XML_TEXT_NODE:
        return TXmlNodeType::Text;
    case XML_CDATA_SECTION_NODE:
        return TXmlNodeType::CData;
    case XML_PI_NODE:
        return TXmlNodeType::ProcessingInstruction;
    case XML_COMMENT_NODE:
        return TXmlNodeType::Comment;
    case XML_DOCUMENT_NODE:
        return TXmlNodeType::Document;
    default:
        return TXmlNodeType::Other;
    }
}

std::u16string TXmlNode::NodeName() const {
    switch (FNode->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE: {
        std::string name;
        if (FNode->ns && FNode->ns->prefix) {
            name = reinterpret_cast<const char*>(FNode->ns->prefix);
            name += ':';
        }
        name += reinterpret_cast<const char*>(FNode->name);
        return kernel::Utf8ToWide(name);
    }
    case XML_PI_NODE:
        return FromUtf8(FNode->name);
    case XML_TEXT_NODE:
        return u"#text";
    case XML_CDATA_SECTION_NODE:
        return u"#cdata-section";
    case XML_COMMENT_NODE:
        return u"#comment";
    case XML_DOCUMENT_NODE:
        return u"#document";
    default:
        return {};
    }
}

std::u16string TXmlNode::Xml() const {
    std::string out;
    detail::SerialiseNode(FNode, out);
    return kernel::Utf8ToWide(out);
}

XmlNode TXmlNode::ParentNode() const {
    if (FNode->type == XML_DOCUMENT_NODE || FNode->type == XML_ATTRIBUTE_NODE || !FNode->parent)
        return nullptr;
    return XmlNode::Adopt(new TXmlNode(FTree, FNode->parent));
}

std::optional<std::u16string> TXmlNode::GetAttribute(std::u16string_view name) const {
    if (FNode->type != XML_ELEMENT_NODE) return std::nullopt;
    const std::string utf8 = ToUtf8(name);
    xmlAttrPtr attr = xmlHasProp(FNode, reinterpret_cast<const xmlChar*>(utf8.c_str()));
    if (!attr || attr->type != XML_ATTRIBUTE_NODE) return std::nullopt;
    // Held so that a failed conversion still frees libxml2's copy.
    const std::unique_ptr<xmlChar, void (*)(void*)> value(
        xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attr)), [](void* p) { xmlFree(p); });
    return FromUtf8(value.get());
}

void TXmlNode::SetAttribute(std::u16string_view name, std::u16string_view value) {
    if (FNode->type != XML_ELEMENT_NODE)
        throw EXmlError("Only an element has attributes", E_INVALIDARG);
    const std::string utf8Name = ToUtf8(name);
    if (!detail::IsXmlName(utf8Name))
        throw EXmlError("Invalid attribute name '" + kernel::WideToAnsi(name) + "'", E_INVALIDARG);
    const std::string utf8Value = ToUtf8(value);
    // libxml2 keeps values as C strings: a NUL would silently cut the value short.
    if (utf8Value.find('\0') != std::string::npos)
        throw EXmlError("The value of attribute '" + kernel::WideToAnsi(name) +
                            "' holds the character U+0000, which XML cannot carry",
                        E_INVALIDARG);
    if (!xmlSetProp(FNode, reinterpret_cast<const xmlChar*>(utf8Name.c_str()),
                    reinterpret_cast<const xmlChar*>(utf8Value.c_str())))
        throw std::bad_alloc();
}

namespace {

bool IsAncestorOrSelf(xmlNodePtr candidate, xmlNodePtr node) {
    for (xmlNodePtr p = node; p; p = p->parent)
        if (p == candidate) return true;
    return false;
}

} // namespace

XmlNode TXmlNode::InsertBefore(const XmlNode& newChild, const XmlNode& refChild) {
    if (!newChild) throw EXmlError("No node to insert", E_INVALIDARG);
    xmlNodePtr child = newChild->FNode;
    if (newChild->FTree != FTree)
        throw EXmlError("The node belongs to another document", E_INVALIDARG);
    if (FNode->type != XML_ELEMENT_NODE && FNode->type != XML_DOCUMENT_NODE)
        throw EXmlError("This node cannot have children", E_INVALIDARG);
    if (child->type != XML_ELEMENT_NODE && child->type != XML_PI_NODE &&
        child->type != XML_COMMENT_NODE)
        throw EXmlError("This kind of node cannot be inserted", E_INVALIDARG);
    if (IsAncestorOrSelf(child, FNode))
        throw EXmlError("A node cannot contain itself", E_INVALIDARG);
    xmlNodePtr before = refChild ? refChild->FNode : nullptr;
    if (before && before->parent != FNode)
        throw EXmlError("The reference node is not a child of this node", E_INVALIDARG);
    if (before == child) return newChild;
    if (FNode->type == XML_DOCUMENT_NODE && child->type == XML_ELEMENT_NODE) {
        xmlNodePtr root = xmlDocGetRootElement(FTree->Doc);
        if (root && root != child)
            throw EXmlError("The document already has a document element", E_INVALIDARG);
    }
    // A node already in the tree leaves its old place first (xmlAddChild would not unlink it and
    // the sibling chain would break). It is remembered as loose for as long as it is unlinked.
    if (child->parent) {
        FTree->Loose.reserve(FTree->Loose.size() + 1);
        xmlUnlinkNode(child);
        FTree->KeepLoose(child);
    }
    xmlNodePtr linked = before ? xmlAddPrevSibling(before, child) : xmlAddChild(FNode, child);
    if (linked != child) throw EXmlError("The node could not be inserted");
    return newChild;
}

TXmlNodeList TXmlNode::SelectNodes(std::u16string_view xpath) const {
    const std::string expression = ToUtf8(RewriteXPath(xpath));
    xmlXPathContextPtr context = FTree->XPathContext();
    xmlResetError(&context->lastError);
    xmlXPathCompExprPtr compiled = FTree->Compiled(expression);
    context->node = FNode;
    xmlXPathObjectPtr result = compiled ? xmlXPathCompiledEval(compiled, context) : nullptr;
    context->node = nullptr;
    xmlResetLastError(); // the context keeps its own copy of the error
    if (!result) {
        throw EXmlError(detail::ErrorMessageOf(&context->lastError, "Invalid XPath expression") +
                        " in '" + kernel::WideToAnsi(xpath) + "'");
    }
    // Owned here until the nodes are copied out: a failure on the way still frees the result.
    const std::unique_ptr<xmlXPathObject, void (*)(xmlXPathObjectPtr)> owned(result,
                                                                             xmlXPathFreeObject);
    TXmlNodeList list;
    list.FTree = FTree;
    if (result->type != XPATH_NODESET) {
        throw EXmlError("Expression does not return a DOM node: '" + kernel::WideToAnsi(xpath) +
                        "'");
    }
    if (xmlNodeSetPtr set = result->nodesetval) {
        list.FNodes.reserve(static_cast<std::size_t>(set->nodeNr));
        for (int i = 0; i < set->nodeNr; ++i) {
            // Namespace nodes are copies that die with the result; they are not ours to hand out.
            if (set->nodeTab[i]->type == XML_NAMESPACE_DECL) continue;
            list.FNodes.push_back(set->nodeTab[i]);
        }
    }
    return list;
}

XmlNode TXmlNode::SelectSingleNode(std::u16string_view xpath) const {
    TXmlNodeList list = SelectNodes(xpath);
    return list.Item(0);
}

} // namespace quill::xml
