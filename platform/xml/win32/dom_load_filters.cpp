// The tree passes of a load over the component: control characters back, blank text out, as the
// load over libxml2 does them on Linux.
#include "platform/xml/win32/dom_com.h"

namespace quill::xml::detail {

namespace {

void PutText(IXMLDOMNode* node, std::u16string_view text) {
    ::VARIANT value;
    ::VariantInit(&value);
    TSysString holder(text);
    value.vt = VT_BSTR;
    value.bstrVal = holder.Get();
    Check(node->put_nodeValue(value), "The XML component refused a text");
}

bool IsBlank(std::u16string_view text) {
    return text.find_first_not_of(u" \t\r\n") == std::u16string_view::npos;
}

void Remove(IXMLDOMNode* parent, IXMLDOMNode* child) {
    TRef<IXMLDOMNode> removed;
    Check(parent->removeChild(child, removed.ReleaseAndGetAddressOf()),
          "The XML component could not remove a text");
}

} // namespace

void RestoreControlCharacters(IXMLDOMNode* node) {
    switch (NodeTypeOf(node)) {
    case NODE_TEXT: {
        std::u16string text = NodeValueOf(node);
        if (!RestoreHiddenControls(text)) return;
        PutText(node, text);
        return;
    }
    case NODE_ELEMENT: {
        ForEachAttribute(node, [](IXMLDOMNode* attribute) { RestoreControlCharacters(attribute); });
        ForEachChild(node, [](IXMLDOMNode* child) { RestoreControlCharacters(child); });
        return;
    }
    case NODE_ATTRIBUTE: {
        std::u16string text = NodeValueOf(node);
        if (!RestoreHiddenControls(text)) return;
        PutText(node, text);
        return;
    }
    case NODE_DOCUMENT:
        ForEachChild(node, [](IXMLDOMNode* child) { RestoreControlCharacters(child); });
        return;
    default:
        return;
    }
}

void DropBlankText(IXMLDOMNode* node, bool preserve) {
    if (NodeTypeOf(node) == NODE_ELEMENT) {
        if (TRef<IXMLDOMElement> element = AsElement(node)) {
            TSysString name(u"xml:space");
            ::VARIANT value;
            ::VariantInit(&value);
            if (element->getAttribute(name.Get(), &value) == S_OK) {
                const std::u16string space = TakeText(value);
                if (space == u"preserve") preserve = true;
                if (space == u"default") preserve = false;
            }
            ::VariantClear(&value);
        }
    }
    TRef<IXMLDOMNode> child;
    Check(node->get_firstChild(child.ReleaseAndGetAddressOf()), "The XML component gave no child");
    while (child) {
        TRef<IXMLDOMNode> next;
        Check(child->get_nextSibling(next.ReleaseAndGetAddressOf()),
              "The XML component gave no sibling");
        const DOMNodeType type = NodeTypeOf(child.Get());
        if (type == NODE_TEXT) {
            // The run of text nodes from here on becomes this one node.
            std::u16string text = NodeValueOf(child.Get());
            bool joined = false;
            while (next && NodeTypeOf(next.Get()) == NODE_TEXT) {
                text += NodeValueOf(next.Get());
                TRef<IXMLDOMNode> after;
                Check(next->get_nextSibling(after.ReleaseAndGetAddressOf()),
                      "The XML component gave no sibling");
                Remove(node, next.Get());
                next = std::move(after);
                joined = true;
            }
            if (!preserve && IsBlank(text))
                Remove(node, child.Get());
            else if (joined)
                PutText(child.Get(), text);
        } else if (type == NODE_ELEMENT) {
            DropBlankText(child.Get(), preserve);
        }
        child = std::move(next);
    }
}

} // namespace quill::xml::detail
