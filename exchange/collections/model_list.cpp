#include "exchange/collections/model_list.h"

#include "exchange/collections/filter.h"
#include "exchange/xml/attribute_values.h"
#include "exchange/xml/settings_xml.h"
#include "exchange/xml/xml_names.h"
#include "infra/root/guid_text.h"

namespace quill::exchange {

// ---- TModelItem ----

TModelItem::TModelItem(rtl::TCollection* collection) : TBaseItem(collection) {
    const com::OleVariant source = FOwnerList ? FOwnerList->Source() : com::OleVariant(u"");
    auto parameters = std::make_unique<TParameterList>(source);
    parameters->SetOwnerModel(this);
    // A change among the parameters shows in this item's own-or-children flag.
    parameters->OnChange = [this](rtl::TObject*) { RecomputeModified(); };
    SetChildList(std::move(parameters));
}

std::string_view TModelItem::ClassName() const {
    return "TModelItem";
}

void TModelItem::LoadChildren() {
    ChildList()->LoadParameters(Node(), false);
}

std::u16string TModelItem::ChangeKey() const {
    return infra::GuidToText(FGuid);
}

std::u16string TModelItem::ChangeDescription() const {
    return FName + u", " + FLibrary;
}

// ---- TModelList ----

TModelList::TModelList(const com::VARIANT& source)
    : TBaseList(&rtl::ItemClassOf<TModelItem>, source) {}

TModelList::TModelList(TBaseList* parentList, const com::VARIANT& source)
    : TBaseList(parentList, source, &rtl::ItemClassOf<TModelItem>) {}

std::string_view TModelList::ClassName() const {
    return "TModelList";
}

TModelItem* TModelList::FindByGuid(const com::GUID& guid) {
    for (int i = Count() - 1; i >= 0; --i) {
        TModelItem* item = Items(i);
        if (item->Guid() != guid) continue;
        if (item->State() == 1 && !FIncludeDeleted) continue;
        item->SetOwnerList(this);
        return item;
    }
    return nullptr;
}

void TModelList::Load() {
    const TFilterPredicates predicates = BuildPredicates(FFilter);
    const XmlNode source = SourceNode();
    TXmlNodeList nodes;
    if (source) {
        nodes =
            SelectNodesByNumber(source, node::ClassModelPath, predicates.Model, predicates.Class);
        if (nodes.Length() == 0 && predicates.Model.empty() && predicates.Class.empty())
            nodes = SelectNodesByNumber(source, node::AnyModel);
    }
    for (std::size_t i = 0; i < nodes.Length(); ++i) {
        const XmlNode element = nodes.Item(i);
        // The code is read first, so that a bad one leaves no half-read model behind.
        const com::GUID guid = infra::GuidFromText(GetAttributeByNumber(element, attr::Id));
        auto* item = static_cast<TModelItem*>(Add());
        item->SetNode(element);
        item->SetGuid(guid);
        item->SetIdentifier(GetAttributeByNumber(element, attr::Identifier));
        item->SetLibrary(GetAttributeByNumber(element, attr::Library));
        item->SetName(GetAttributeByNumber(element, attr::Name));
        item->SetClassIdentifier(GetAttributeByNumber(element->ParentNode(), attr::Identifier));
        item->SetUseOrvix(IntegerAttribute(element, attr::UsesPlatform));
        item->SetVersion(IntegerAttribute(element, attr::Version));
        // Read as stored: a load never deletes (SetState would free an item of version -1).
        item->SetStoredState(IntegerAttribute(element, attr::State));
        item->SetPluVersion(GetAttributeByNumber(element, attr::PluVersion));
        item->SetRelease(IntegerAttribute(element, attr::Release));
        item->SetModified(false);
        item->LoadChildren();
        if (i == 0) FCurrentItem = item;
    }
    ClearFilter();
}

std::unique_ptr<TModelList> CreateModelList(const com::VARIANT& source, std::u16string_view code,
                                            std::u16string_view identifier,
                                            std::u16string_view library,
                                            std::u16string_view classIdentifier,
                                            std::u16string_view name, std::u16string_view state) {
    auto list = std::make_unique<TModelList>(source);
    static constexpr int numbers[] = {
        attr::Id, attr::Identifier, attr::Library, attr::ClassIdentifier, attr::Name, attr::State};
    const std::u16string values[] = {std::u16string(code),    std::u16string(identifier),
                                     std::u16string(library), std::u16string(classIdentifier),
                                     std::u16string(name),    std::u16string(state)};
    list->SetFilter(numbers, values);
    list->Load();
    list->SetModified(false);
    list->ClearFilter();
    return list;
}

} // namespace quill::exchange
