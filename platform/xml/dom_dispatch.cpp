// What documents and nodes are as COM objects, the same on every system: reference counting, the
// late-bound "xml" property, variants that carry nodes, attribute values given as variants, and the
// document's properties.
#include "platform/xml/dom.h"

#include "platform/com/variant.h"
#include "platform/kernel/codepage.h"

#include <new>

namespace quill::xml {

using namespace com;

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

HRESULT STDMETHODCALLTYPE TXmlNode::GetIDsOfNames(REFIID, OLECHAR** names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (count == 0) return S_OK;
    if (!names[0] || !kernel::WideSameText(names[0], u"xml")) return DISP_E_UNKNOWNNAME;
    ids[0] = DispIdXml;
    // The property has no arguments, so any named argument is unknown.
    return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT STDMETHODCALLTYPE TXmlNode::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO*, UINT*) {
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

HRESULT STDMETHODCALLTYPE TXmlDocument::QueryInterface(REFIID iid, void** object) {
    if (object && iid == TXmlDocument::Guid) {
        *object = this;
        AddRef();
        return S_OK;
    }
    return TXmlNode::QueryInterface(iid, object);
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
