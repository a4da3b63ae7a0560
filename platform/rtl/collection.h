// TCollection and TCollectionItem: the run-time library's owned, indexed list of items.
//
// A collection creates its items through the item class given at construction (Add, Insert) and
// owns them: Delete, Clear and the collection's destruction free them. An item joins the collection
// passed to its constructor (appended at the end) and leaves it when it is freed or moved with
// SetCollection, so a freed item never stays in a list. Each item has a position (Index) and an ID
// that is unique within its collection and never reused.
//
// Items that others may still hold (reference-counted interface items) override
// FreeFromCollection: Delete and Clear then only drop the collection's hold on them, and the item
// frees itself later. Neither class is thread-safe: a collection and its items belong to one
// thread. An index out of range raises EListError; the collection is unchanged.
#pragma once

#include "platform/rtl/exception.h"
#include "platform/rtl/object.h"

#include <vector>

namespace quill::rtl {

class TCollection;
class TCollectionItem;

// An index outside a list.
class EListError : public Exception {
  public:
    using Exception::Exception;
    ~EListError() override;
};

// The item class of a collection: creates one item that joins `collection`.
using TCollectionItemClass = TCollectionItem* (*)(TCollection* collection);

// The item class of a concrete item type T (constructor T(TCollection*)).
template <class T> TCollectionItem* ItemClassOf(TCollection* collection) {
    return new T(collection);
}

// What Notify reports: an item joined, is leaving (moved away or freed), or is being deleted by the
// collection (Delete / Clear); cnDeleting is followed by cnExtracting when it actually leaves.
enum class TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TCollectionItem : public TObject {
  public:
    // Joins `collection` at the end; nil makes an item that belongs to no collection.
    explicit TCollectionItem(TCollection* collection);
    TCollectionItem(const TCollectionItem&) = delete;
    TCollectionItem& operator=(const TCollectionItem&) = delete;
    // Leaves the collection.
    ~TCollectionItem() override;
    std::string_view ClassName() const override;

    TCollection* Collection() const { return FCollection; }
    // Leaves the current collection (if any) and joins `collection` at the end (nil: none).
    void SetCollection(TCollection* collection);
    // Position in the collection; -1 when the item belongs to none.
    int Index() const;
    // Moves the item to `index` within its collection; EListError when out of range.
    void SetIndex(int index);
    int ID() const { return FID; }

  protected:
    friend class TCollection;
    // Called when the collection deletes this item (Delete, Clear, the collection's destruction).
    // The default frees the item. An override must at least take the item out of the collection.
    virtual void FreeFromCollection();

  private:
    TCollection* FCollection = nullptr;
    int FID = 0;
};

class TCollection : public TObject {
  public:
    // `itemClass` must not be nil.
    explicit TCollection(TCollectionItemClass itemClass);
    TCollection(const TCollection&) = delete;
    TCollection& operator=(const TCollection&) = delete;
    // Clears: every item still held is freed (or released, see FreeFromCollection).
    ~TCollection() override;
    std::string_view ClassName() const override;

    int Count() const { return static_cast<int>(FItems.size()); }
    // The item at `index`; EListError when out of range.
    TCollectionItem* Items(int index) const;
    // A new item of the item class at the end.
    TCollectionItem* Add();
    // A new item of the item class at `index` (0..Count); EListError when out of range, and then no
    // item is created.
    TCollectionItem* Insert(int index);
    // Frees the item at `index`; EListError when out of range.
    void Delete(int index);
    // Frees every item, last first, in time linear in their number.
    void Clear();
    // The item with this ID, or nil.
    TCollectionItem* FindItemID(int id) const;
    // Position of `item`, or -1.
    int IndexOf(const TCollectionItem* item) const;
    TCollectionItemClass ItemClass() const { return FItemClass; }

  protected:
    // Told when items join and leave. Not called while the collection itself is being destroyed
    // (a descendant that needs it clears in its own destructor).
    virtual void Notify(TCollectionItem* item, TCollectionNotification action);

  private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);
    void CheckIndex(int index, int limit) const;

    TCollectionItemClass FItemClass;
    std::vector<TCollectionItem*> FItems;
    int FNextID = 0;
    bool FDestroying = false;
    // The item that left last, so that Delete knows its item left without searching for it.
    const TCollectionItem* FLastRemoved = nullptr;
};

} // namespace quill::rtl
