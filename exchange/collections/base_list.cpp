#include "exchange/collections/base_list.h"

#include "exchange/collections/filter.h"
#include "exchange/collections/parameter_list.h"
#include "exchange/xml/settings_xml.h"
#include "platform/kernel/codepage.h"

namespace quill::exchange {

// ---- TBaseItem ----

TBaseItem::TBaseItem(rtl::TCollection* collection)
    : rtl::TCollectionItem(collection), FOwnerList(dynamic_cast<TBaseList*>(collection)) {
    // The item tells its list; the list's own handler decides whether anyone listens.
    OnChange = [this](rtl::TObject*) {
        if (FOwnerList) FOwnerList->FireOnChange();
    };
}

TBaseItem::~TBaseItem() = default;

std::string_view TBaseItem::ClassName() const {
    return "TBaseItem";
}

bool TBaseItem::IsModified() const {
    return FModified || (FChildList && FChildList->IsModified());
}

void TBaseItem::RecomputeModified() {
    FModifiedOrChildren = IsModified();
}

void TBaseItem::SetModified(bool value) {
    if (value != FModified) {
        FModified = value;
        if (OnChange) OnChange(this);
        RecomputeModified();
    }
    if (!value && FChildList) {
        FChildList->SetModified(false);
        RecomputeModified();
    }
}

void TBaseItem::SetState(std::int32_t value) {
    if (value == FState) return;
    FState = value;
    SetModified(true);
    if (FState != 1) return;
    if (FVersion == -1) {
        // The item goes at once; it takes its child list with it and nothing touches it again.
        delete this;
        return;
    }
    if (FChildList && FChildList->Count() > 0) {
        FChildList->Clear();
        SetModified(true);
    }
}

void TBaseItem::FieldChanged(std::u16string_view changeName, bool differs,
                             std::u16string_view oldValue, std::u16string_view newValue) {
    if (differs && FOwnerList && FOwnerList->RecordChanges())
        FOwnerList->RecordChange(*this, changeName, oldValue, newValue);
    SetModified(FModifiedOrChildren || differs);
}

void TBaseItem::SetText(std::u16string& field, std::u16string_view value,
                        std::u16string_view changeName, bool ignoreCase) {
    const bool differs = ignoreCase ? !kernel::WideSameText(field, value) : field != value;
    FieldChanged(changeName, differs, field, value);
    field = value;
}

void TBaseItem::SetInteger(std::int32_t& field, std::int32_t value,
                           std::u16string_view changeName) {
    const bool differs = field != value;
    if (differs && FOwnerList && FOwnerList->RecordChanges()) {
        const std::string oldText = std::to_string(field);
        const std::string newText = std::to_string(value);
        FOwnerList->RecordChange(*this, changeName, std::u16string(oldText.begin(), oldText.end()),
                                 std::u16string(newText.begin(), newText.end()));
    }
    SetModified(FModifiedOrChildren || differs);
    field = value;
}

void TBaseItem::SetChildList(std::unique_ptr<TParameterList> list) {
    FChildList = std::move(list);
}

// ---- TBaseList ----

namespace {

com::OleVariant SourceFrom(const com::VARIANT& source) {
    const com::VARIANT* v = &source;
    if (v->vt == (com::VT_BYREF | com::VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    const bool isText = v->vt == com::VT_BSTR || v->vt == (com::VT_BYREF | com::VT_BSTR);
    if (!isText) return com::OleVariant(*v);
    const com::BSTR text =
        v->vt == com::VT_BSTR ? v->bstrVal : (v->pbstrVal ? *v->pbstrVal : nullptr);
    XmlDocument document = CreateXmlDocument();
    // An empty text is an empty document: there is nothing to parse.
    if (com::SysStringLen(text) > 0)
        document->LoadXml(std::u16string_view(text, com::SysStringLen(text)));
    document->SetAsync(false);
    return xml::NodeToVariant(document);
}

} // namespace

TBaseList::TBaseList(rtl::TCollectionItemClass itemClass, const com::VARIANT& source)
    : rtl::TCollection(itemClass), FSource(SourceFrom(source)),
      FChanges(std::make_unique<TChangeList>()) {}

TBaseList::TBaseList(TBaseList* parentList, const com::VARIANT& source,
                     rtl::TCollectionItemClass itemClass)
    : TBaseList(itemClass, source) {
    FParentList = parentList;
}

TBaseList::~TBaseList() {
    // The items go while the list is still whole, and without counting as deletions.
    OnChange = nullptr;
    FLoading = true;
    Clear();
}

std::string_view TBaseList::ClassName() const {
    return "TBaseList";
}

void TBaseList::SetFilter(std::span<const int> numbers, std::span<const std::u16string> values) {
    TFilter filter = FFilter;
    AddFilterConditions(filter, numbers, values);
    FFilter = std::move(filter);
}

bool TBaseList::IsModified() const {
    if (FModified) return true;
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->IsModified()) return true;
    return false;
}

void TBaseList::SetModified(bool value) {
    if (value) return;
    for (int i = 0; i < Count(); ++i)
        Items(i)->SetModified(false);
    if (FModified) {
        FModified = false;
        FireOnChange();
    }
}

void TBaseList::FireOnChange() {
    if (OnChange) OnChange(this);
}

void TBaseList::RecordChange(const TBaseItem& item, std::u16string_view changeName,
                             std::u16string_view oldValue, std::u16string_view newValue) {
    if (!FRecordChanges) return;
    FChanges->Record(changeName, oldValue, newValue, item.ChangeKey(), item.ChangeDescription());
}

void TBaseList::Notify(rtl::TCollectionItem* item, rtl::TCollectionNotification action) {
    rtl::TCollection::Notify(item, action);
    if (action != rtl::TCollectionNotification::cnExtracting) return;
    if (item == FCurrentItem) FCurrentItem = nullptr;
    if (FLoading) return;
    // An item leaving the list changes the list itself; listeners hear of it once.
    if (!FModified) {
        FModified = true;
        FireOnChange();
    }
}

void TBaseList::ClearForLoad() {
    FLoading = true;
    try {
        Clear();
    } catch (...) {
        FLoading = false;
        throw;
    }
    FLoading = false;
}

} // namespace quill::exchange
