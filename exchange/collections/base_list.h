// TBaseList and TBaseItem: the bases of the parameter and model collections that are read from
// settings documents.
//
// A list loads from a source (an XML document or node; a text given as source is parsed into a new
// document first), optionally narrowed by a filter of attribute conditions. Items carry a state
// (1 = deleted), a modified flag that reaches their list's OnChange, an owned child list of
// parameters, and the XML element they were loaded from. Lists can record field-level changes in
// their change list.
//
// Ownership: a list owns its items (rtl::TCollection), an item its child list, a list its change
// list. An item whose version is -1 frees itself when its state becomes 1: the caller's pointer is
// then dead. Single-threaded, like the documents they read. Errors: the coded error 20000 for bad
// filters, the name-table errors for bad attribute numbers, DOM errors from loads (items added
// before the error stay in the list).
#pragma once

#include "exchange/collections/change_list.h"
#include "platform/com/variant.h"
#include "platform/rtl/collection.h"
#include "platform/xml/dom.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quill::exchange {

class TBaseList;
class TParameterList;

// An event with its object bound in (a handler of the sender).
using TNotifyEvent = std::function<void(rtl::TObject* sender)>;

// The filter: (key, escaped value) pairs in the order they were first set. A key is an attribute
// number in decimal; a key starting with "_" is a condition on the enclosing class element.
using TFilter = std::vector<std::pair<std::u16string, std::u16string>>;

class TBaseItem : public rtl::TCollectionItem {
  public:
    explicit TBaseItem(rtl::TCollection* collection);
    ~TBaseItem() override;
    std::string_view ClassName() const override;

    std::int32_t State() const { return FState; }
    // Stores a different state and marks the item modified. State 1 on an item of version -1
    // frees the item (nothing may touch it afterwards); otherwise state 1 empties a non-empty
    // child list.
    void SetState(std::int32_t value);
    // The state as a document stores it, without the effects of SetState (a load never deletes).
    void SetStoredState(std::int32_t value) { FState = value; }
    bool Modified() const { return FModified; }
    virtual void SetModified(bool value);
    // Own flag or a modified child list.
    bool IsModified() const;
    bool ModifiedOrChildren() const { return FModifiedOrChildren; }
    std::int32_t Version() const { return FVersion; }
    void SetVersion(std::int32_t value) { FVersion = value; }
    TBaseList* OwnerList() const { return FOwnerList; }
    void SetOwnerList(TBaseList* list) { FOwnerList = list; }
    TParameterList* ChildList() const { return FChildList.get(); }
    const xml::XmlNode& Node() const { return FNode; }
    void SetNode(xml::XmlNode node) { FNode = std::move(node); }

    // Loads what lies under the item's element; the base item has nothing under it.
    virtual void LoadChildren() {}

    // The identifying text and description of the item in change entries.
    virtual std::u16string ChangeKey() const { return {}; }
    virtual std::u16string ChangeDescription() const { return {}; }

    TNotifyEvent OnChange;

  protected:
    // What every field setter does: record the change when the owner list records changes and
    // the values differ, then set the modified flag.
    void FieldChanged(std::u16string_view changeName, bool differs, std::u16string_view oldValue,
                      std::u16string_view newValue);
    void SetText(std::u16string& field, std::u16string_view value, std::u16string_view changeName,
                 bool ignoreCase);
    void SetInteger(std::int32_t& field, std::int32_t value, std::u16string_view changeName);
    void SetChildList(std::unique_ptr<TParameterList> list);
    // Recomputes the cached own-or-children flag.
    void RecomputeModified();

    std::int32_t FState = 0;
    bool FModified = false;
    std::unique_ptr<TParameterList> FChildList;
    bool FModifiedOrChildren = true;
    TBaseList* FOwnerList = nullptr;
    std::int32_t FVersion = 0;
    xml::XmlNode FNode;
};

class TBaseList : public rtl::TCollection {
  public:
    // `source`: a text (parsed into a new document; the empty text gives an empty document) or a
    // document or node reference. A text that is not well-formed raises the parser's error.
    TBaseList(rtl::TCollectionItemClass itemClass, const com::VARIANT& source);
    TBaseList(TBaseList* parentList, const com::VARIANT& source,
              rtl::TCollectionItemClass itemClass);
    ~TBaseList() override;
    std::string_view ClassName() const override;

    TBaseItem* Items(int index) const {
        return static_cast<TBaseItem*>(rtl::TCollection::Items(index));
    }

    virtual void Load() {}
    // Fills the filter from attribute numbers and values (see the collections' load). Arrays of
    // different length, or a bad attribute number, raise and leave the filter unchanged.
    void SetFilter(std::span<const int> numbers, std::span<const std::u16string> values);
    void ClearFilter() { FFilter.clear(); }
    const TFilter& Filter() const { return FFilter; }

    bool IsModified() const;
    // false: clears every item's flags and the list's own (firing OnChange if it was set); true:
    // nothing.
    void SetModified(bool value);

    TBaseItem* CurrentItem() const { return FCurrentItem; }
    TBaseList* ParentList() const { return FParentList; }
    bool RecordChanges() const { return FRecordChanges; }
    void SetRecordChanges(bool value) { FRecordChanges = value; }
    bool IncludeDeleted() const { return FIncludeDeleted; }
    void SetIncludeDeleted(bool value) { FIncludeDeleted = value; }
    const com::OleVariant& Source() const { return FSource; }
    // The source as a DOM node, nil when it holds none.
    xml::XmlNode SourceNode() const { return xml::NodeFromVariant(FSource); }
    TChangeList& Changes() { return *FChanges; }

    // Called by items whose OnChange reaches the list.
    void FireOnChange();
    // Enters a field change of `item` in the change list (only while changes are recorded).
    void RecordChange(const TBaseItem& item, std::u16string_view changeName,
                      std::u16string_view oldValue, std::u16string_view newValue);

    TNotifyEvent OnChange;

  protected:
    void Notify(rtl::TCollectionItem* item, rtl::TCollectionNotification action) override;
    // Empties the list as a load does, without counting it as a deletion.
    void ClearForLoad();

    TBaseItem* FCurrentItem = nullptr;
    bool FModified = false;
    TBaseList* FParentList = nullptr;
    bool FRecordChanges = false;
    TFilter FFilter;
    com::OleVariant FSource;
    bool FIncludeDeleted = true;
    std::unique_ptr<TChangeList> FChanges;

  private:
    bool FLoading = false;
};

} // namespace quill::exchange
