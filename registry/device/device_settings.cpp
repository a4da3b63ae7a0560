// The exchange of one device's settings as an XML document, in the current and the older layout.
#include "exchange/collections/model_list.h"
#include "exchange/collections/parameter_list.h"
#include "exchange/xml/settings_xml.h"
#include "exchange/xml/xml_names.h"
#include "infra/root/guid_text.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "registry/device/device_item.h"
#include "registry/list/devices_list.h"

#include <utility>
#include <vector>

namespace quill::registry {

using namespace com;
using exchange::XmlNode;

namespace {

constexpr int kAccessPointId = 110; // "КодТо4киДоступа"

using NameValues = std::vector<std::pair<std::string, std::string>>;

// Adds `name`=`value`; a name met again replaces its earlier value in place.
void AddPair(NameValues& pairs, std::string name, std::string value) {
    for (auto& pair : pairs)
        if (pair.first == name) {
            pair.second = std::move(value);
            return;
        }
    pairs.emplace_back(std::move(name), std::move(value));
}

std::string Ansi(const std::u16string& text) {
    return kernel::WideToAnsi(text);
}

bool HasChildNodes(const XmlNode& node) {
    return node && node->SelectSingleNode(u"node()") != nullptr;
}

} // namespace

OleVariant TDeviceItem::BuildSettingsDocument() const {
    auto document = exchange::NewXmlDocument(exchange::NodeName(exchange::node::Device),
                                             exchange::XmlDeclaration());
    XmlNode root = document->DocumentElement();
    const GUID model = OwnerList() ? OwnerList()->ModelList().Current()->Id() : GUID_NULL;
    const int numbers[] = {exchange::attr::Id, exchange::attr::ModelId, exchange::attr::Name,
                           kAccessPointId};
    const OleVariant values[] = {OleVariant(infra::GuidToText(FGuid)),
                                 OleVariant(infra::GuidToText(model)),
                                 OleVariant(kernel::AnsiToWide(FIdentifier)), OleVariant(u"")};
    exchange::SetAttributesByNumbers(root, numbers, values);

    NameValues pairs;
    for (int i = 0; i < FParams->Count(); ++i) {
        const TPropItem* row = FParams->PropertyAt(i);
        AddPair(pairs, row->Identifier, row->Value);
    }
    NameValues extra;
    CollectExtraParams(extra);
    for (auto& [name, value] : extra)
        AddPair(pairs, name, value);

    XmlNode parameters = exchange::CreateElementByNumber(document, exchange::node::Parameters);
    for (const auto& [name, value] : pairs) {
        XmlNode parameter = exchange::CreateElementByNumber(document, exchange::node::Parameter);
        const int parameterNumbers[] = {exchange::attr::Identifier, exchange::attr::Value};
        const OleVariant parameterValues[] = {OleVariant(kernel::AnsiToWide(name)),
                                              OleVariant(kernel::AnsiToWide(value))};
        exchange::SetAttributesByNumbers(parameter, parameterNumbers, parameterValues);
        parameters->AppendChild(parameter);
    }
    root->AppendChild(parameters);
    return xml::NodeToVariant(XmlNode(document.Get()));
}

std::int32_t TDeviceItem::LoadDeviceSettings(const VARIANT& settings) {
    const VARIANT* value = &settings;
    if (value->vt == (VT_BYREF | VT_VARIANT)) value = value->pvarVal;
    XmlNode element;
    if (value->vt == VT_BSTR || value->vt == (VT_BYREF | VT_BSTR)) {
        std::u16string text = rtl::VarToWide(*value);
        element = exchange::LoadSettingsText(text, true);
    } else if ((value->vt & ~VT_BYREF) == VT_DISPATCH) {
        element = xml::NodeFromVariant(*value);
        if (element && element->NodeType() == xml::TXmlNodeType::Document)
            element = static_cast<xml::TXmlDocument*>(element.Get())->DocumentElement();
    } else {
        return 0;
    }
    if (!element) return 0;
    const std::u16string deviceName(exchange::NodeName(exchange::node::Device));
    if (!kernel::WideSameText(element->NodeName(), deviceName)) {
        element = exchange::SelectSingleNodeByNumber(element, exchange::node::AnyDevice);
        if (!element) return 0;
    }

    return LoadDeviceElement(element, IsOlderLayout(element));
}

bool TDeviceItem::IsOlderLayout(const XmlNode& node) {
    if (!node) return false;
    for (const char16_t* group : {u"//ComPort", u"//Дополнительно"}) {
        const auto nodes = node->SelectNodes(group);
        for (std::size_t i = 0; i < nodes.Length(); ++i)
            if (HasChildNodes(nodes.Item(i))) return true;
    }
    return false;
}

std::int32_t TDeviceItem::LoadDeviceElement(const XmlNode& element, bool olderLayout) {
    auto setRows = [&](const NameValues& pairs) {
        for (const auto& [name, value] : pairs) {
            TPropItem* row = FindParam(name);
            if (!row) {
                row = static_cast<TPropItem*>(FParams->Add());
                row->Identifier = name;
            }
            row->SetValue(value); // exactly as the document holds it
        }
    };

    if (!olderLayout) {
        SetGuid(infra::GuidFromText(exchange::GetAttributeByNumber(element, exchange::attr::Id)));
        SetIdentifier(Ansi(exchange::GetAttributeByNumber(element, exchange::attr::Name)));
        FModelGuid =
            infra::GuidFromText(exchange::GetAttributeByNumber(element, exchange::attr::ModelId));
        NameValues pairs;
        const auto nodes = exchange::SelectNodesByNumber(element, exchange::node::ParameterPath);
        for (std::size_t i = 0; i < nodes.Length(); ++i) {
            XmlNode node = nodes.Item(i);
            AddPair(pairs, Ansi(exchange::GetAttributeByNumber(node, exchange::attr::Identifier)),
                    Ansi(exchange::GetAttributeByNumber(node, exchange::attr::Value)));
        }
        ApplyExtraParamList(&pairs);
        setRows(pairs);
        CompleteRowsFromHostModel();
    } else {
        SetGuid(infra::GuidFromText(exchange::GetAttributeByNumber(element, exchange::attr::Id)));
        SetIdentifier(Ansi(exchange::GetAttributeByNumber(element, exchange::attr::Hint)));
        auto items = [&](std::u16string_view path) {
            NameValues pairs;
            const auto nodes = element->SelectNodes(path);
            for (std::size_t i = 0; i < nodes.Length(); ++i) {
                XmlNode node = nodes.Item(i);
                AddPair(pairs, Ansi(node->GetAttribute(u"Имя").value_or(u"")),
                        Ansi(node->GetAttribute(exchange::AttributeName(exchange::attr::Value))
                                 .value_or(u"")));
            }
            return pairs;
        };
        const NameValues comPort = items(u"//Параметры/ComPort/Item");
        ApplyExtraParamList(&comPort);
        setRows(items(u"//Параметры/Дополнительно/Item"));
    }
    return AfterLoad();
}

void TDeviceItem::CompleteRowsFromHostModel() {
    TDevicesList* owner = OwnerList();
    if (!owner || !owner->HostModels()) return;
    const exchange::TModelItem* model = owner->HostModels()->FindByGuid(FModelGuid);
    if (!model) return;
    for (int i = 0; i < FParams->Count(); ++i) {
        TPropItem* row = FParams->PropertyAt(i);
        if (!row->TypeName.empty()) continue;
        const exchange::TParameterItem* source =
            model->Parameters().FindByName(kernel::AnsiToWide(row->Identifier));
        if (!source) continue;
        row->Name = kernel::WideToAnsi(source->ParamDescription());
        row->TypeName = kernel::WideToAnsi(source->ParamType());
        row->ReadOnly = source->ParamReadOnly() != 0;
        row->DefaultValue = kernel::WideToAnsi(source->ParamDefault());
        row->SetDescription(kernel::WideToAnsi(source->ParamHint()));
    }
}

} // namespace quill::registry
