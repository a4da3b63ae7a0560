#include "registry/models/model_plu_item.h"

#include "exchange/xml/settings_xml.h"
#include "exchange/xml/text_utils.h"
#include "exchange/xml/xml_names.h"
#include "infra/codes/coded_exception.h"
#include "platform/kernel/codepage.h"
#include "registry/models/model_list_owner.h"
#include "registry/models/model_plu_list.h"

namespace quill::registry {

using namespace com;

namespace {

template <class T> T* Require(T* out) {
    if (!out) throw rtl::EOleSysError("Nil out parameter", E_POINTER);
    return out;
}

void PutText(BSTR* out, std::u16string_view text) {
    Require(out);
    *out = BStrFromText(text);
    if (!*out && !text.empty()) throw std::bad_alloc();
}

OleVariant BoolValue(bool value) {
    return OleVariant(value);
}

} // namespace

TModelPluItem::TModelPluItem(rtl::TCollection* collection)
    : infra::TCollectionItemInterface(collection), FProperties(std::make_unique<TPropList>()) {
    if (TModelPluList* list = List(); list && list->Owner()) FUseLock = list->Owner()->UseLock();
}

TModelPluItem::~TModelPluItem() = default;

std::string_view TModelPluItem::ClassName() const {
    return "TModelPluItem";
}

void* TModelPluItem::GetInterface(REFIID iid) {
    if (iid == IPluModel::Guid || iid == IID_IPluModel2) return static_cast<IPluModel*>(this);
    return infra::TCollectionItemInterface::GetInterface(iid);
}

TModelPluList* TModelPluItem::List() const {
    return dynamic_cast<TModelPluList*>(Collection());
}

TModelListOwner& TModelPluItem::RequireOwner() const {
    TModelPluList* list = List();
    if (!list || !list->Owner()) infra::RaiseCodedError(infra::codes::NoDriverObject);
    return *list->Owner();
}

std::u16string TModelPluItem::ParametersText() const {
    using namespace exchange;
    XmlDocument document = CreateXmlDocument();
    document->LoadXml(u"<Параметры/>");
    XmlNode root = document->DocumentElement();
    for (int i = 0; i < FProperties->Count(); ++i) {
        const TPropItem* p = FProperties->PropertyAt(i);
        XmlNode element = document->CreateElement(u"Параметр");
        root->AppendChild(element);
        element->SetAttribute(u"Идентификатор", kernel::AnsiToWide(p->Identifier));
        element->SetAttribute(u"Наименование", kernel::AnsiToWide(p->Name));
        element->SetAttribute(u"Тип", p->XmlTypeName());
        element->SetAttribute(u"ФлагТолько4тение", BoolValue(p->ReadOnly));
        element->SetAttribute(u"Зна4ениеПоУмол4анию", kernel::AnsiToWide(p->DefaultValue));
        element->SetAttribute(u"Описание",
                              kernel::AnsiToWide(EscapeLineBreaks(p->Description, true)));
    }
    return document->Xml();
}

xml::XmlDocument TModelPluItem::ModelDocument() const {
    using namespace exchange;
    XmlDocument document = NewXmlDocument(NodeName(node::Model), XmlDeclaration());
    XmlNode parameters = CreateElementByNumber(document, node::Parameters);
    document->DocumentElement()->AppendChild(parameters);
    static constexpr int numbers[] = {attr::Identifier, attr::Name,    attr::Type,
                                      attr::ReadOnly,   attr::Default, attr::Hint};
    for (int i = 0; i < FProperties->Count(); ++i) {
        const TPropItem* p = FProperties->PropertyAt(i);
        XmlNode element = CreateElementByNumber(document, node::Parameter);
        parameters->AppendChild(element);
        const OleVariant values[] = {
            OleVariant(kernel::AnsiToWide(p->Identifier)),
            OleVariant(kernel::AnsiToWide(p->Name)),
            OleVariant(p->XmlTypeName()),
            BoolValue(p->ReadOnly),
            OleVariant(kernel::AnsiToWide(p->DefaultValue)),
            OleVariant(kernel::AnsiToWide(EscapeLineBreaks(p->Description, true)))};
        SetAttributesByNumbers(element, numbers, values);
    }
    return document;
}

std::u16string ReadXmlProperty(IDispatch* object) {
    if (!object) throw rtl::EOleSysError("Nil object", E_POINTER);
    BStr name(u"XML");
    OLECHAR* names[] = {name.Get()};
    DISPID id = DISPID_UNKNOWN;
    if (HRESULT hr = object->GetIDsOfNames(IUnknown::Guid, names, 1, 0, &id); FAILED(hr))
        throw rtl::EOleSysError("The object has no property XML", hr);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    OleVariant result;
    if (HRESULT hr = object->Invoke(id, IUnknown::Guid, 0, DISPATCH_PROPERTYGET, &none, &result,
                                    nullptr, nullptr);
        FAILED(hr))
        throw rtl::EOleSysError("Reading the property XML failed", hr);
    OleVariant text;
    if (HRESULT hr = VariantChangeType(&text, &result, 0, VT_BSTR); FAILED(hr))
        throw rtl::EOleSysError("The property XML is no text", hr);
    return TextFromBStr(text.bstrVal);
}

// ---- IPluModel ----

HRESULT STDMETHODCALLTYPE TModelPluItem::GetId(GUID* id) {
    const auto guard = Use();
    return SafeCall([&] { *Require(id) = FId; });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetIdentifier(BSTR* identifier) {
    const auto guard = Use();
    return SafeCall([&] { PutText(identifier, Identifier); });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetName(BSTR* name) {
    const auto guard = Use();
    return SafeCall([&] { PutText(name, Name); });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetEquipmentClass(BSTR* equipmentClass) {
    const auto guard = Use();
    return SafeCall([&] { PutText(equipmentClass, EquipmentClass); });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetEquipmentClassName(BSTR* name) {
    const auto guard = Use();
    return SafeCall([&] { PutText(name, EquipmentClassName); });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetNumber1(std::int32_t* value) {
    const auto guard = Use();
    return SafeCall([&] { *Require(value) = Number1; });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetNumber2(std::int32_t* value) {
    const auto guard = Use();
    return SafeCall([&] { *Require(value) = Number2; });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetNumber3(std::int32_t* value) {
    const auto guard = Use();
    return SafeCall([&] { *Require(value) = Number3; });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetNumber4(std::int32_t* value) {
    const auto guard = Use();
    return SafeCall([&] { *Require(value) = Number4; });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetUsesPlatform(std::int32_t* value) {
    const auto guard = Use();
    return SafeCall([&] { *Require(value) = UsesPlatform; });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetParametersText(BSTR* text) {
    const auto guard = Use();
    return SafeCall([&] {
        Require(text);
        PutText(text, ParametersText());
    });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetReservedNumber(std::int32_t* value) {
    return SafeCall([&] { *Require(value) = -1; });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetReservedInterface(std::int32_t, IUnknown** object) {
    return SafeCall([&] { *Require(object) = nullptr; });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::NoOp1() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TModelPluItem::NoOp2() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetDllInterface(IDllObject** object) {
    const auto guard = Use();
    return SafeCall([&] {
        *Require(object) = nullptr;
        RequireOwner().GetDllInterface(object);
    });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::GetModelDocument(VARIANT* document) {
    const auto guard = Use();
    return SafeCall([&] {
        Require(document);
        OleVariant value = xml::NodeToVariant(ModelDocument());
        VariantClear(document);
        *document = value.Detach();
    });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::CreateDevice(const VARIANT* settings,
                                                      IDeviceItem** device) {
    const auto guard = Use();
    return SafeCall([&] {
        *Require(device) = nullptr;
        RequireOwner().AddOrFindDevice(*Require(settings), device);
    });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::RemoveDevice(const GUID* id, std::int32_t* result) {
    const auto guard = Use();
    return SafeCall([&] {
        Require(result);
        *result = RequireOwner().CloseDevice(*Require(id));
    });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::SetSettings(const VARIANT* settings) {
    const auto guard = Use();
    return SafeCall([&] {
        const VARIANT* v = Require(settings);
        if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
        switch (v->vt) {
        case VT_DISPATCH:
            RequireOwner().SetSettingsText(ReadXmlProperty(v->pdispVal));
            break;
        case VT_BYREF | VT_DISPATCH:
            RequireOwner().SetSettingsText(ReadXmlProperty(v->ppdispVal ? *v->ppdispVal : nullptr));
            break;
        case VT_BSTR:
            RequireOwner().SetSettingsText(TextFromBStr(v->bstrVal));
            break;
        case VT_BYREF | VT_BSTR:
            RequireOwner().SetSettingsText(TextFromBStr(v->pbstrVal ? *v->pbstrVal : nullptr));
            break;
        default:
            break; // other kinds carry no settings text
        }
    });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::FindDevice(const VARIANT* settings, IDeviceItem** device) {
    const auto guard = Use();
    return SafeCall([&] {
        *Require(device) = nullptr;
        RequireOwner().FindDevice(*Require(settings), device);
    });
}

HRESULT STDMETHODCALLTYPE TModelPluItem::AddDevice(const VARIANT* settings, IDeviceItem** device) {
    const auto guard = Use();
    return SafeCall([&] {
        *Require(device) = nullptr;
        RequireOwner().InsertDevice(*Require(settings), device);
    });
}

} // namespace quill::registry
