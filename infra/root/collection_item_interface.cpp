#include "infra/root/collection_item_interface.h"

namespace quill::infra {

TCollectionItemInterface::TCollectionItemInterface(rtl::TCollection* collection)
    : rtl::TCollectionItem(collection) {}

TCollectionItemInterface::~TCollectionItemInterface() = default;

std::string_view TCollectionItemInterface::ClassName() const {
    return "TCollectionItemInterface";
}

void* TCollectionItemInterface::GetInterface(com::REFIID iid) {
    if (iid == com::IUnknown::Guid) return static_cast<com::IUnknown*>(this);
    return nullptr;
}

com::HRESULT STDMETHODCALLTYPE TCollectionItemInterface::QueryInterface(com::REFIID iid,
                                                                        void** object) {
    if (!object) return com::E_POINTER;
    *object = GetInterface(iid);
    if (!*object) return com::E_NOINTERFACE;
    AddRef();
    return com::S_OK;
}

com::ULONG STDMETHODCALLTYPE TCollectionItemInterface::AddRef() {
    return static_cast<com::ULONG>(++FRefCount);
}

com::ULONG STDMETHODCALLTYPE TCollectionItemInterface::Release() {
    const com::LONG count = --FRefCount;
    if (count == 0) delete this;
    return static_cast<com::ULONG>(count);
}

void TCollectionItemInterface::Detach() {
    if (FDetached) return;
    FDetached = true;
    SetCollection(nullptr);
    Release();
}

// Outside holders may still reference the item, so the collection only gives up its own hold.
// An item already detached is no longer in a collection and never gets here.
void TCollectionItemInterface::FreeFromCollection() {
    Detach();
}

} // namespace quill::infra
