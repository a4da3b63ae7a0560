#include "platform/rtl/collection.h"

#include "platform/rtl/format.h"

#include <algorithm>

namespace quill::rtl {

EListError::~EListError() = default;

// ---- TCollectionItem ----

TCollectionItem::TCollectionItem(TCollection* collection) {
    SetCollection(collection);
}

TCollectionItem::~TCollectionItem() {
    SetCollection(nullptr);
}

std::string_view TCollectionItem::ClassName() const {
    return "TCollectionItem";
}

void TCollectionItem::SetCollection(TCollection* collection) {
    if (collection == FCollection) return;
    if (FCollection) FCollection->RemoveItem(this);
    if (collection) collection->InsertItem(this);
}

int TCollectionItem::Index() const {
    return FCollection ? FCollection->IndexOf(this) : -1;
}

void TCollectionItem::SetIndex(int index) {
    if (!FCollection) return;
    const int current = Index();
    FCollection->CheckIndex(index, FCollection->Count() - 1);
    auto& items = FCollection->FItems;
    items.erase(items.begin() + current);
    items.insert(items.begin() + index, this);
}

void TCollectionItem::FreeFromCollection() {
    delete this;
}

// ---- TCollection ----

TCollection::TCollection(TCollectionItemClass itemClass) : FItemClass(itemClass) {}

TCollection::~TCollection() {
    FDestroying = true;
    Clear();
}

std::string_view TCollection::ClassName() const {
    return "TCollection";
}

void TCollection::CheckIndex(int index, int limit) const {
    if (index < 0 || index > limit) {
        static const std::string text = "List index out of bounds (%d)";
        throw EListError(Format(text, {index}));
    }
}

TCollectionItem* TCollection::Items(int index) const {
    CheckIndex(index, Count() - 1);
    return FItems[static_cast<std::size_t>(index)];
}

TCollectionItem* TCollection::Add() {
    return FItemClass(this);
}

TCollectionItem* TCollection::Insert(int index) {
    CheckIndex(index, Count());
    TCollectionItem* item = Add();
    item->SetIndex(index);
    return item;
}

void TCollection::Delete(int index) {
    TCollectionItem* item = Items(index);
    if (!FDestroying) Notify(item, TCollectionNotification::cnDeleting);
    FLastRemoved = nullptr;
    item->FreeFromCollection();
    // An override that forgot to leave must not leave a dangling entry behind. The item may be
    // freed by now, so it is looked for by address only, and only when it did not leave: searching
    // after every item that did would make clearing n items take time in n squared.
    if (FLastRemoved != item && IndexOf(item) >= 0) RemoveItem(item);
}

void TCollection::Clear() {
    while (!FItems.empty())
        Delete(Count() - 1);
}

TCollectionItem* TCollection::FindItemID(int id) const {
    for (TCollectionItem* item : FItems)
        if (item->FID == id) return item;
    return nullptr;
}

int TCollection::IndexOf(const TCollectionItem* item) const {
    // From the end: items leave mostly from the back (Clear), so that is where they are found.
    const auto it = std::find(FItems.rbegin(), FItems.rend(), item);
    return it == FItems.rend() ? -1 : static_cast<int>(FItems.rend() - it) - 1;
}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::InsertItem(TCollectionItem* item) {
    FItems.push_back(item);
    item->FCollection = this;
    item->FID = FNextID++;
    Notify(item, TCollectionNotification::cnAdded);
}

void TCollection::RemoveItem(TCollectionItem* item) {
    if (!FDestroying) Notify(item, TCollectionNotification::cnExtracting);
    const auto it = std::find(FItems.rbegin(), FItems.rend(), item);
    if (it != FItems.rend()) FItems.erase(std::next(it).base());
    item->FCollection = nullptr;
    FLastRemoved = item;
}

} // namespace quill::rtl
