// The exchange of one device's settings as an XML document, in the current and the older layout.
#include "exchange/collections/model_list.h"
#include "exchange/collections/parameter_list.h"
#include "exchange/xml/settings_xml.h"
#include "exchange/xml/xml_names.h"
#include "infra/root/guid_text.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "registry/device/device_item.h"
#include "registry/device/result_codes.h"
#include "registry/list/devices_list.h"

#include <unordered_map>
#include <utility>
#include <vector>

namespace quill::registry {

using namespace com;
using exchange::XmlNode;

namespace {

constexpr int kAccessPointId = 110; // "КодТо4киДоступа"

using NameValues = std::vector<std::pair<std::string, std::string>>;

// Name=value pairs in order of first appearance; a name met again replaces its earlier value in
// place. Names are found through an index, so that collecting stays linear.
class TPairCollector {
  public:
    void Add(std::string name, std::string value) {
        const auto [at, added] = FIndex.try_emplace(name, FPairs.size());
        if (!added) {
            FPairs[at->second].second = std::move(value);
            return;
        }
        FPairs.emplace_back(std::move(name), std::move(value));
    }
    void Add(NameValues& more) {
        for (auto& [name, value] : more)
            Add(std::move(name), std::move(value));
    }
    NameValues& Pairs() { return FPairs; }

  private:
    NameValues FPairs;
    std::unordered_map<std::string, std::size_t> FIndex;
};

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

    TPairCollector collector;
    for (int i = 0; i < FParams->Count(); ++i) {
        const TPropItem* row = FParams->PropertyAt(i);
        collector.Add(row->Identifier, row->Value);
    }
    NameValues extra;
    CollectExtraParams(extra);
    collector.Add(extra);
    const NameValues& pairs = collector.Pairs();

    XmlNode parameters = exchange::CreateElementByNumber(document, exchange::node::Parameters);
    const std::u16string_view identifierName = exchange::AttributeName(exchange::attr::Identifier);
    const std::u16string_view valueName = exchange::AttributeName(exchange::attr::Value);
    for (const auto& [name, value] : pairs) {
        XmlNode parameter = exchange::CreateElementByNumber(document, exchange::node::Parameter);
        // The texts go to the attributes as they are: a variant would only copy them twice more
        // (the list export builds these for every device).
        parameter->SetAttribute(identifierName, kernel::AnsiToWide(name));
        parameter->SetAttribute(valueName, kernel::AnsiToWide(value));
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
        return results::Success;
    }
    if (!element) return results::Success;
    const std::u16string deviceName(exchange::NodeName(exchange::node::Device));
    if (!kernel::WideSameText(element->NodeName(), deviceName)) {
        element = exchange::SelectSingleNodeByNumber(element, exchange::node::AnyDevice);
        if (!element) return results::Success;
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
    // Each pair into the row of that name (or alias), or a new row; the value exactly as the
    // document holds it.
    auto setRows = [&](const NameValues& pairs) { FParams->SetValuesByName(pairs); };

    if (!olderLayout) {
        SetGuid(infra::GuidFromText(exchange::GetAttributeByNumber(element, exchange::attr::Id)));
        SetIdentifier(Ansi(exchange::GetAttributeByNumber(element, exchange::attr::Name)));
        FModelGuid =
            infra::GuidFromText(exchange::GetAttributeByNumber(element, exchange::attr::ModelId));
        TPairCollector collector;
        const auto nodes = exchange::SelectNodesByNumber(element, exchange::node::ParameterPath);
        for (std::size_t i = 0; i < nodes.Length(); ++i) {
            XmlNode node = nodes.Item(i);
            collector.Add(Ansi(exchange::GetAttributeByNumber(node, exchange::attr::Identifier)),
                          Ansi(exchange::GetAttributeByNumber(node, exchange::attr::Value)));
        }
        const NameValues& pairs = collector.Pairs();
        ApplyExtraParamList(&pairs);
        setRows(pairs);
        CompleteRowsFromHostModel();
    } else {
        SetGuid(infra::GuidFromText(exchange::GetAttributeByNumber(element, exchange::attr::Id)));
        SetIdentifier(Ansi(exchange::GetAttributeByNumber(element, exchange::attr::Hint)));
        auto items = [&](std::u16string_view path) {
            TPairCollector collector;
            const auto nodes = element->SelectNodes(path);
            for (std::size_t i = 0; i < nodes.Length(); ++i) {
                XmlNode node = nodes.Item(i);
                collector.Add(
                    Ansi(node->GetAttribute(u"Имя").value_or(u"")),
                    Ansi(node->GetAttribute(exchange::AttributeName(exchange::attr::Value))
                             .value_or(u"")));
            }
            return std::move(collector.Pairs());
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
