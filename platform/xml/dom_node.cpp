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

HRESULT STDMETHODCALLTYPE TXmlNode::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IUnknown::Guid || iid == IDispatch::Guid || iid == TXmlNode::Guid) {
        *object = static_cast<TXmlNode*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TXmlNode::AddRef() {
    return FRefCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG STDMETHODCALLTYPE TXmlNode::Release() {
    const ULONG count = FRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (count == 0) delete this;
    return count;
}

HRESULT STDMETHODCALLTYPE TXmlNode::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TXmlNode::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TXmlNode::GetIDsOfNames(REFIID, OLECHAR** names, UINT count, LCID,
                                                  DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (count == 0) return S_OK;
    if (!names[0] || !kernel::WideSameText(names[0], u"xml")) return DISP_E_UNKNOWNNAME;
    ids[0] = DispIdXml;
    // The property has no arguments, so any named argument is unknown.
    return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT STDMETHODCALLTYPE TXmlNode::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                           VARIANT* result, EXCEPINFO*, UINT*) {
    if (id != DispIdXml || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    try {
        std::u16string text = Xml();
        if (result) {
            VariantClear(result);
            result->bstrVal = BStrFromText(text);
            if (!result->bstrVal) return E_OUTOFMEMORY;
            result->vt = VT_BSTR;
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

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

void TXmlNode::SetAttribute(std::u16string_view name, const VARIANT& value) {
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    if ((v->vt & ~VT_BYREF) == VT_BOOL) {
        const VARIANT_BOOL b = (v->vt & VT_BYREF) ? *v->pboolVal : v->boolVal;
        SetAttribute(name, std::u16string_view(b ? u"1" : u"0"));
        return;
    }
    OleVariant text;
    const HRESULT hr = VariantChangeType(&text, v, 0, VT_BSTR);
    if (FAILED(hr)) throw EXmlError("The attribute value has no text form", hr);
    SetAttribute(
        name, std::u16string_view(text.bstrVal ? text.bstrVal : u"", SysStringLen(text.bstrVal)));
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

namespace {

// libxml2 2.9 starts a step after a leading "/" only at an ASCII letter: "/Система" is read as
// the root alone and the rest is refused. A name test with its axis spelt out parses anywhere,
// and "child::" is what a bare name test means, so every name test that starts with a non-ASCII
// letter is given it.
bool StartsName(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80;
}

bool ContinuesName(char16_t c) {
    return StartsName(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

std::u16string RewriteXPath(std::u16string_view xpath) {
    std::u16string out;
    out.reserve(xpath.size() + 16);
    // The last character written that is not a blank: it tells a name test from an attribute
    // name ("@"), a variable ("$") or a name that already follows its axis or prefix (":").
    char16_t previous = 0;
    std::size_t i = 0;
    while (i < xpath.size()) {
        const char16_t c = xpath[i];
        if (c == u'"' || c == u'\'') {
            const std::size_t close = xpath.find(c, i + 1);
            const std::size_t end = close == std::u16string_view::npos ? xpath.size() : close + 1;
            out.append(xpath.substr(i, end - i));
            previous = c;
            i = end;
            continue;
        }
        if (c >= u'0' && c <= u'9') {
            // A number: its digits are no name, whatever follows.
            std::size_t end = i;
            while (end < xpath.size() &&
                   ((xpath[end] >= u'0' && xpath[end] <= u'9') || xpath[end] == u'.'))
                ++end;
            out.append(xpath.substr(i, end - i));
            previous = xpath[end - 1];
            i = end;
            continue;
        }
        if (StartsName(c)) {
            std::size_t end = i + 1;
            while (end < xpath.size() && ContinuesName(xpath[end]))
                ++end;
            if (c >= 0x80 && previous != u'@' && previous != u'$' && previous != u':')
                out += u"child::";
            out.append(xpath.substr(i, end - i));
            previous = xpath[end - 1];
            i = end;
            continue;
        }
        out += c;
        if (!IsBlank(c)) previous = c;
        ++i;
    }
    return out;
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

XmlNode NodeFromVariant(const VARIANT& value) {
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    IUnknown* object = nullptr;
    switch (v->vt) {
    case VT_DISPATCH:
        object = v->pdispVal;
        break;
    case VT_UNKNOWN:
        object = v->punkVal;
        break;
    case VT_BYREF | VT_DISPATCH:
        object = v->ppdispVal ? *v->ppdispVal : nullptr;
        break;
    case VT_BYREF | VT_UNKNOWN:
        object = v->ppunkVal ? *v->ppunkVal : nullptr;
        break;
    default:
        return nullptr;
    }
    return XmlNode::QueryFrom(object);
}

OleVariant NodeToVariant(const XmlNode& node) {
    if (!node) return OleVariant();
    return OleVariant(static_cast<IDispatch*>(node.Get()));
}

} // namespace quill::xml
