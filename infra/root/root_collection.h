// TRootCollectionItem and TRootCollection: the bases of the device item and the device list, each
// holding the host's event sink.
//
// EventSink is nil at creation, set by whoever hands the host's event interface on (the driver
// object to the list, the list to a new item), and released at destruction. Threads and ownership
// are those of TCollectionItemInterface and rtl::TCollection.
#pragma once

#include "quill/host.h"
#include "infra/root/collection_item_interface.h"
#include "platform/rtl/collection.h"

namespace quill::infra {

class TRootCollectionItem : public TCollectionItemInterface {
  public:
    explicit TRootCollectionItem(rtl::TCollection* collection);
    ~TRootCollectionItem() override;
    std::string_view ClassName() const override;

    com::ComPtr<IEventSupport2> EventSink;
};

class TRootCollection : public rtl::TCollection {
  public:
    explicit TRootCollection(rtl::TCollectionItemClass itemClass);
    ~TRootCollection() override;
    std::string_view ClassName() const override;

    com::ComPtr<IEventSupport2> EventSink;
};

} // namespace quill::infra
