// COM on the calling thread, and the component's documents as the DOM creates them.
#include "platform/xml/win32/dom_com.h"

namespace quill::xml::detail {

const IID IidDomDocument2 = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IidDomElement = {
    0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// The host's threads have COM initialised in the apartment of its choice, which is kept. A thread
// without it (a worker of ours, a test) is put into the multithreaded apartment: it needs no
// message loop, and the component is registered for both kinds of apartment. COM stays
// initialised for the thread's life, as documents and nodes may outlive any call of ours.
void EnsureCom() {
    thread_local bool ready = false;
    if (ready) return;
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (hr == S_FALSE)
        ::CoUninitialize(); // initialised before: the count we added is given back
    else if (FAILED(hr) && hr != RPC_E_CHANGED_MODE)
        RaiseComError(hr, "COM could not be initialised for the XML component");
    ready = true;
}

namespace {

void SetProperty(IXMLDOMDocument2* doc, const char16_t* name, ::VARIANT value) {
    TSysString property(name);
    Check(doc->setProperty(property.Get(), value), "The XML component refused a property");
}

} // namespace

TRef<IXMLDOMDocument2> NewComDocument() {
    EnsureCom();
    TRef<IXMLDOMDocument2> doc;
    HRESULT hr = REGDB_E_CLASSNOTREG;
    for (const wchar_t* progId : {L"Msxml2.DOMDocument", L"MSXML.DOMDocument"}) {
        CLSID clsid;
        hr = ::CLSIDFromProgID(progId, &clsid);
        if (FAILED(hr)) continue;
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IidDomDocument2,
                                reinterpret_cast<void**>(doc.ReleaseAndGetAddressOf()));
        if (SUCCEEDED(hr) && doc) break;
    }
    if (FAILED(hr) || !doc) RaiseComError(hr, "The XML component is not available");
    Check(doc->put_async(VARIANT_FALSE), "The XML component refused synchronous loading");
    Check(doc->put_resolveExternals(VARIANT_FALSE), "The XML component refused a property");
    // Blank text is dropped by the load itself: the component drops a blank that follows a
    // character reference in the same text ("&amp; " would read as "&").
    Check(doc->put_preserveWhiteSpace(VARIANT_TRUE), "The XML component refused a property");
    Check(doc->put_validateOnParse(VARIANT_FALSE), "The XML component refused a property");
    ::VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_BSTR;
    TSysString xpath(u"XPath");
    value.bstrVal = xpath.Get();
    SetProperty(doc.Get(), u"SelectionLanguage", value);
    // Not every version of the component knows it (Wine's takes and ignores it): the load refuses
    // a document type declaration itself before the component sees the text.
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    TSysString prohibit(u"ProhibitDTD");
    doc->setProperty(prohibit.Get(), value);
    return doc;
}

} // namespace quill::xml::detail
