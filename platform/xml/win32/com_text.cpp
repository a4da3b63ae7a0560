// System strings and variants at the boundary to the component, its errors, and the node
// properties the DOM reads.
#include "platform/xml/win32/dom_com.h"

#include "platform/kernel/codepage.h"

#include <new>

namespace quill::xml::detail {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the system's text is UTF-16");

TSysString::TSysString(std::u16string_view text)
    : FText(::SysAllocStringLen(reinterpret_cast<const wchar_t*>(text.data()),
                                static_cast<UINT>(text.size()))) {
    if (!FText) throw std::bad_alloc();
}

::BSTR* TSysString::Out() {
    ::SysFreeString(FText);
    FText = nullptr;
    return &FText;
}

std::u16string TextOf(::BSTR text) {
    if (!text) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text));
}

std::u16string TakeText(::VARIANT& value) {
    std::u16string text = value.vt == VT_BSTR ? TextOf(value.bstrVal) : std::u16string();
    ::VariantClear(&value);
    return text;
}

void RaiseComError(HRESULT hr, const std::string& what) {
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    std::string message = what;
    ::IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) == S_OK && info) {
        TSysString description;
        if (SUCCEEDED(info->GetDescription(description.Out())) && description.Get()) {
            std::u16string text = TextOf(description.Get());
            while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' ||
                                     text.back() == u' ' || text.back() == u'.'))
                text.pop_back();
            if (!text.empty()) message += ": " + kernel::WideToAnsi(text);
        }
        info->Release();
    }
    throw EXmlError(message, hr);
}

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) RaiseComError(hr, what);
}

DOMNodeType NodeTypeOf(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    Check(node->get_nodeType(&type), "The XML component gave no node type");
    return type;
}

std::u16string NodeNameOf(IXMLDOMNode* node) {
    TSysString name;
    Check(node->get_nodeName(name.Out()), "The XML component gave no node name");
    return TextOf(name.Get());
}

std::u16string NodeValueOf(IXMLDOMNode* node) {
    ::VARIANT value;
    ::VariantInit(&value);
    Check(node->get_nodeValue(&value), "The XML component gave no node value");
    return TakeText(value);
}

TRef<IXMLDOMNode> ParentOf(IXMLDOMNode* node) {
    TRef<IXMLDOMNode> parent;
    Check(node->get_parentNode(parent.ReleaseAndGetAddressOf()),
          "The XML component gave no parent node");
    return parent;
}

TRef<IXMLDOMElement> AsElement(IXMLDOMNode* node) {
    TRef<IXMLDOMElement> element;
    if (FAILED(node->QueryInterface(IidDomElement,
                                    reinterpret_cast<void**>(element.ReleaseAndGetAddressOf()))))
        return nullptr;
    return element;
}

} // namespace quill::xml::detail
