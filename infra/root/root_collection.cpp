#include "infra/root/root_collection.h"

namespace quill::infra {

TRootCollectionItem::TRootCollectionItem(rtl::TCollection* collection)
    : TCollectionItemInterface(collection) {}

TRootCollectionItem::~TRootCollectionItem() = default;

std::string_view TRootCollectionItem::ClassName() const {
    return "TRootCollectionItem";
}

TRootCollection::TRootCollection(rtl::TCollectionItemClass itemClass)
    : rtl::TCollection(itemClass) {}

// The list's reference to the host goes first; the items still held are then released by the base.
TRootCollection::~TRootCollection() {
    EventSink = nullptr;
}

std::string_view TRootCollection::ClassName() const {
    return "TRootCollection";
}

} // namespace quill::infra
