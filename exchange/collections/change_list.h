// TChangeList: the field-level changes that a list records while its record-changes switch is on.
//
// One entry per (field name, item key), both compared ignoring case: a second change of the same
// field of the same item replaces only the new value, so an entry always holds the value before the
// first change and the value after the last. Owned by its list; single-threaded like the list.
#pragma once

#include "platform/rtl/collection.h"

#include <string>
#include <string_view>

namespace quill::exchange {

class TChangeItem : public rtl::TCollectionItem {
  public:
    explicit TChangeItem(rtl::TCollection* collection) : rtl::TCollectionItem(collection) {}
    std::string_view ClassName() const override;

    std::u16string FieldName;
    std::u16string OldValue;
    std::u16string NewValue;
    std::u16string ItemKey;
    std::u16string ItemDescription;
};

class TChangeList : public rtl::TCollection {
  public:
    TChangeList();
    std::string_view ClassName() const override;

    TChangeItem* Items(int index) const {
        return static_cast<TChangeItem*>(rtl::TCollection::Items(index));
    }
    // The entry for (fieldName, itemKey), or nil.
    TChangeItem* Find(std::u16string_view fieldName, std::u16string_view itemKey) const;
    // Enters one change as described above.
    void Record(std::u16string_view fieldName, std::u16string_view oldValue,
                std::u16string_view newValue, std::u16string_view itemKey,
                std::u16string_view itemDescription);
};

} // namespace quill::exchange
