// TCollectionItemInterface: a collection item that is also a reference-counted interface object.
//
// The collection holds the first reference (RefCount 1 at creation); every interface reference
// handed out adds one. Release frees the item when the count reaches 0, which also takes it out of
// its collection. Detach takes the item out of its collection at once and drops the collection's
// reference, so the item lives on until the last outside reference is released; a second Detach
// does nothing. When the collection deletes the item (Delete, Clear, its own destruction) it
// detaches it in the same way instead of freeing it under the feet of an outside holder.
//
// AddRef and Release are atomic, so references may be taken and dropped from any thread; the
// item's collection membership belongs to the collection's thread. Interface operations of
// descendants run their bodies through SafeCall: an exception becomes a failure result with its
// message as the thread's error description (null interface id, no source, no help file).
//
// A descendant that implements further interfaces lists them in GetInterface and, because each
// interface brings its own IUnknown slots, forwards those three with QUILL_FORWARD_IUNKNOWN.
#pragma once

#include "platform/com/unknown.h"
#include "platform/rtl/collection.h"
#include "platform/rtl/safecall.h"

#include <atomic>

namespace quill::infra {

class TCollectionItemInterface : public rtl::TCollectionItem, public com::IUnknown {
  public:
    explicit TCollectionItemInterface(rtl::TCollection* collection);
    ~TCollectionItemInterface() override;
    std::string_view ClassName() const override;

    com::HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override;
    com::ULONG STDMETHODCALLTYPE AddRef() override;
    com::ULONG STDMETHODCALLTYPE Release() override;

    // Leaves the collection and drops its reference; only the first call has an effect.
    void Detach();

    com::LONG RefCount() const { return FRefCount.load(); }
    bool Detached() const { return FDetached; }

  protected:
    // The interface pointer for `iid`, or nil. The base answers IUnknown; descendants add theirs
    // and fall back to the base.
    virtual void* GetInterface(com::REFIID iid);
    void FreeFromCollection() override;

    // The safecall conversion of this class and its descendants.
    template <class Body> static com::HRESULT SafeCall(Body&& body) noexcept {
        return rtl::SafeCall(std::forward<Body>(body));
    }

  private:
    std::atomic<com::LONG> FRefCount{1};
    bool FDetached = false;
};

} // namespace quill::infra

// Inside a descendant that also derives from further interfaces: routes their IUnknown slots to
// the item's own implementation.
#define QUILL_FORWARD_IUNKNOWN(Base)                                                               \
    ::quill::com::HRESULT STDMETHODCALLTYPE QueryInterface(::quill::com::REFIID iid,               \
                                                           void** object) override {               \
        return Base::QueryInterface(iid, object);                                                  \
    }                                                                                              \
    ::quill::com::ULONG STDMETHODCALLTYPE AddRef() override {                                      \
        return Base::AddRef();                                                                     \
    }                                                                                              \
    ::quill::com::ULONG STDMETHODCALLTYPE Release() override {                                     \
        return Base::Release();                                                                    \
    }
