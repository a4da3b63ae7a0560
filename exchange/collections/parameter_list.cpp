#include "exchange/collections/parameter_list.h"

#include "exchange/xml/attribute_values.h"
#include "exchange/collections/model_list.h"
#include "exchange/xml/settings_xml.h"
#include "exchange/xml/xml_names.h"
#include "platform/kernel/codepage.h"

namespace quill::exchange {

std::string_view TParameterItem::ClassName() const {
    return "TParameterItem";
}

void TParameterItem::LoadFromElement(const xml::XmlNode& element, bool storedValue) {
    SetParamName(GetAttributeByNumber(element, attr::Identifier));
    SetParamDescription(GetAttributeByNumber(element, attr::Name));
    SetParamType(GetAttributeByNumber(element, attr::Type));
    SetParamDefault(GetAttributeByNumber(element, attr::Default));
    SetParamValue(storedValue ? GetAttributeByNumber(element, attr::Value) : FParamDefault);
    SetParamHint(GetAttributeByNumber(element, attr::Hint));
    SetParamReadOnly(IntegerAttribute(element, attr::ReadOnly));
    SetNode(element);
}

TParameterList::TParameterList(const com::VARIANT& source)
    : TBaseList(&rtl::ItemClassOf<TParameterItem>, source) {}

TParameterList::TParameterList(TBaseList* parentList, const com::VARIANT& source)
    : TBaseList(parentList, source, &rtl::ItemClassOf<TParameterItem>) {}

std::string_view TParameterList::ClassName() const {
    return "TParameterList";
}

TParameterItem* TParameterList::FindByName(std::u16string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        TParameterItem* item = Items(i);
        if (kernel::WideSameText(item->ParamName(), name)) return item;
    }
    return nullptr;
}

void TParameterList::LoadParameters(const xml::XmlNode& element, bool storedValue) {
    ClearForLoad();
    if (FOwnerModel && FOwnerModel->State() == 1) return;
    if (!element) return;
    const TXmlNodeList nodes = SelectNodesByNumber(element, node::ParameterPath);
    for (std::size_t i = 0; i < nodes.Length(); ++i) {
        auto* item = static_cast<TParameterItem*>(Add());
        item->LoadFromElement(nodes.Item(i), storedValue);
        if (i == 0) FCurrentItem = item;
    }
}

void TParameterList::Load() {
    LoadParameters(SourceNode(), true);
    for (int i = 0; i < Count(); ++i)
        Items(i)->SetModified(false);
}

} // namespace quill::exchange
