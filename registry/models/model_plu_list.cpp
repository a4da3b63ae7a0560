#include "registry/models/model_plu_list.h"

#include "exchange/xml/attribute_values.h"
#include "exchange/xml/settings_xml.h"
#include "exchange/xml/xml_names.h"
#include "infra/codes/coded_exception.h"
#include "infra/root/guid_text.h"
#include "infra/root/module_path.h"
#include "platform/kernel/codepage.h"
#include "registry/models/model_list_owner.h"

#include <algorithm>
#include <cstring>

namespace quill::registry {

using namespace exchange;

namespace {

std::u16string OwnLibraryFileName() {
    return kernel::Utf8ToWide(infra::LibraryFileName());
}

[[noreturn]] void RaiseBadIndex() {
    static const std::string text = kernel::WideToAnsi(u"Недопустимый индекс модели");
    infra::RaiseErrorText(text);
}

} // namespace

std::size_t TModelPluList::TGuidHash::operator()(const com::GUID& g) const noexcept {
    std::uint64_t halves[2];
    std::memcpy(halves, &g, sizeof halves);
    return std::hash<std::uint64_t>()(halves[0] ^ (halves[1] * 0x9E3779B97F4A7C15ull));
}

TModelPluList::TModelPluList(TModelListOwner* owner)
    : rtl::TCollection(&rtl::ItemClassOf<TModelPluItem>), FOwner(owner),
      FLibraryFileName(OwnLibraryFileName()) {
    AddModel();
    SelectModel(0);
}

TModelPluList::~TModelPluList() {
    // The items leave while the list can still take them out of its index.
    Clear();
}

std::string_view TModelPluList::ClassName() const {
    return "TModelPluList";
}

void TModelPluList::Notify(rtl::TCollectionItem* item, rtl::TCollectionNotification action) {
    rtl::TCollection::Notify(item, action);
    if (action == rtl::TCollectionNotification::cnAdded) {
        // An item joins from inside its own construction: its fields are read later.
        FPending.push_back(item);
    } else if (action == rtl::TCollectionNotification::cnExtracting) {
        Unindex(item);
        if (item == static_cast<rtl::TCollectionItem*>(FCurrent)) FCurrent = nullptr;
    }
}

void TModelPluList::IndexPending() const {
    for (rtl::TCollectionItem* item : FPending) {
        auto* model = static_cast<TModelPluItem*>(item);
        FById[model->FId].push_back(model);
    }
    FPending.clear();
}

void TModelPluList::Unindex(rtl::TCollectionItem* item) {
    if (const auto pending = std::find(FPending.begin(), FPending.end(), item);
        pending != FPending.end()) {
        FPending.erase(pending);
        return;
    }
    auto* model = static_cast<TModelPluItem*>(item);
    const auto it = FById.find(model->FId);
    if (it == FById.end()) return;
    auto& items = it->second;
    items.erase(std::remove(items.begin(), items.end(), model), items.end());
    if (items.empty()) FById.erase(it);
}

TModelPluItem* TModelPluList::AddModel() {
    auto* item = static_cast<TModelPluItem*>(Add());
    item->FPositionHint = Count() - 1;
    return item;
}

void TModelPluList::SetModelId(TModelPluItem* item, const com::GUID& id) {
    if (item->FId == id) return;
    IndexPending();
    Unindex(item);
    item->FId = id;
    FById[id].push_back(item);
}

int TModelPluList::PositionOf(const TModelPluItem* item) const {
    const int hint = item->FPositionHint;
    if (hint >= 0 && hint < Count() && rtl::TCollection::Items(hint) == item) return hint;
    item->FPositionHint = IndexOf(item);
    return item->FPositionHint;
}

TModelPluItem* TModelPluList::FindModel(const com::GUID& id) const {
    IndexPending();
    TModelPluItem* best = nullptr;
    int bestPosition = 0;
    auto consider = [&](const com::GUID& key) {
        const auto it = FById.find(key);
        if (it == FById.end()) return;
        for (TModelPluItem* item : it->second) {
            const int position = PositionOf(item);
            if (!best || position < bestPosition) {
                best = item;
                bestPosition = position;
            }
        }
    };
    consider(id);
    if (id != com::GUID_NULL) consider(com::GUID_NULL);
    return best;
}

void TModelPluList::SelectModel(int index) {
    if (index < 0 || index >= Count()) RaiseBadIndex();
    FCurrent = Items(index);
    FCurrent->FPositionHint = index;
}

int TModelPluList::CurrentIndex() const {
    return FCurrent ? PositionOf(FCurrent) : -1;
}

TPropList& TModelPluList::CurrentProperties() const {
    if (!FCurrent) RaiseBadIndex();
    return FCurrent->Properties();
}

void TModelPluList::RegisterBaseModel(const com::GUID& id, std::u16string_view name,
                                      std::int32_t number1, std::int32_t number2,
                                      std::int32_t number3, std::int32_t number4,
                                      std::int32_t usesPlatform, std::u16string_view instancePrefix,
                                      std::u16string_view identifier,
                                      std::u16string_view equipmentClass,
                                      std::u16string_view equipmentClassName,
                                      const TDriverInfo* driverInfo) {
    TModelPluItem* item = FindModel(id);
    if (!item) item = AddModel();
    SetModelId(item, id);
    item->Name = name;
    item->Number1 = number1;
    item->Number2 = number2;
    item->Number3 = number3;
    item->Number4 = number4;
    item->UsesPlatform = usesPlatform;
    item->InstancePrefix =
        instancePrefix.empty() ? std::u16string(name) + u" №" : std::u16string(instancePrefix);
    item->Identifier = identifier;
    item->EquipmentClass = equipmentClass;
    item->EquipmentClassName = equipmentClassName;
    // Without an owner there is no driver information to fill.
    if (driverInfo && FOwner) FOwner->SetDriverInfo(*driverInfo);
    SelectModel(PositionOf(item));
}

bool TModelPluList::RegisterModel(const com::GUID& id, std::u16string_view name,
                                  std::int32_t usesPlatform, std::u16string_view instancePrefix,
                                  std::u16string_view identifier) {
    if (Count() == 0) {
        static const std::string text = kernel::WideToAnsi(u"Не зарегистрирована базовая модель");
        infra::RaiseErrorText(text);
    }
    TModelPluItem* item = FindModel(id);
    if (!item) item = AddModel();
    const int position = PositionOf(item);
    const bool registered = position > 0;
    if (registered) {
        const TModelPluItem* base = Items(0);
        SetModelId(item, id);
        item->Name = name;
        item->Number1 = base->Number1;
        item->Number2 = base->Number2;
        item->Number3 = base->Number3;
        item->Number4 = base->Number4;
        item->UsesPlatform = usesPlatform;
        item->InstancePrefix = instancePrefix;
        item->Identifier = identifier;
        item->EquipmentClass = base->EquipmentClass;
        item->EquipmentClassName = base->EquipmentClassName;
    }
    SelectModel(position);
    return registered;
}

void TModelPluList::LoadModels(const com::VARIANT& settings) {
    const com::VARIANT* v = &settings;
    if (v->vt == (com::VT_BYREF | com::VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    if (v->vt == com::VT_EMPTY) return;
    XmlNode source;
    if (v->vt == com::VT_BSTR || v->vt == (com::VT_BYREF | com::VT_BSTR)) {
        const com::BSTR text =
            v->vt == com::VT_BSTR ? v->bstrVal : (v->pbstrVal ? *v->pbstrVal : nullptr);
        std::u16string settingsText = com::TextFromBStr(text);
        source = LoadSettingsDocument(settingsText, false);
    } else {
        source = xml::NodeFromVariant(*v);
        if (!source)
            throw xml::EXmlError("The settings are neither an XML text nor an XML document",
                                 com::DISP_E_TYPEMISMATCH);
    }

    std::u16string predicate = u"[@";
    predicate += AttributeName(attr::Library);
    predicate += u"=\"";
    predicate += FLibraryFileName;
    predicate += u"\"]";
    const TXmlNodeList models = SelectNodesByNumber(source, node::AnyModel, predicate);
    for (std::size_t i = 0; i < models.Length(); ++i) {
        const XmlNode model = models.Item(i);
        const com::GUID id = infra::GuidFromText(GetAttributeByNumber(model, attr::Id));
        const std::u16string name = GetAttributeByNumber(model, attr::Name);
        const std::u16string identifier = GetAttributeByNumber(model, attr::Identifier);
        const std::int32_t usesPlatform = IntegerAttribute(model, attr::UsesPlatform);
        // The settings' copy of the base model brings no parameters of its own.
        if (!RegisterModel(id, name, usesPlatform, identifier + u" №", identifier)) continue;

        TPropList& properties = CurrentProperties();
        const TXmlNodeList parameters = SelectNodesByNumber(model, node::ParameterPath);
        for (std::size_t k = 0; k < parameters.Length(); ++k) {
            const XmlNode parameter = parameters.Item(k);
            const std::string parameterId =
                kernel::WideToAnsi(GetAttributeByNumber(parameter, attr::Identifier));
            TPropItem* item = properties.FindByIdentifier(parameterId);
            if (!item) item = properties.AddItem();
            item->Identifier = parameterId;
            item->Name = kernel::WideToAnsi(GetAttributeByNumber(parameter, attr::Name));
            item->TypeName = kernel::WideToAnsi(GetAttributeByNumber(parameter, attr::Type));
            item->ReadOnly = GetAttributeByNumber(parameter, attr::ReadOnly) == u"1";
            item->DefaultValue = kernel::WideToAnsi(GetAttributeByNumber(parameter, attr::Default));
            item->SetDescription(kernel::WideToAnsi(GetAttributeByNumber(parameter, attr::Hint)));
            item->Value = item->DefaultValue;
        }
    }
}

} // namespace quill::registry
