#include "exchange/collections/change_list.h"

#include "platform/kernel/codepage.h"

namespace quill::exchange {

std::string_view TChangeItem::ClassName() const {
    return "TChangeItem";
}

TChangeList::TChangeList() : rtl::TCollection(&rtl::ItemClassOf<TChangeItem>) {}

std::string_view TChangeList::ClassName() const {
    return "TChangeList";
}

TChangeItem* TChangeList::Find(std::u16string_view fieldName, std::u16string_view itemKey) const {
    for (int i = 0; i < Count(); ++i) {
        TChangeItem* item = Items(i);
        if (kernel::WideSameText(item->FieldName, fieldName) &&
            kernel::WideSameText(item->ItemKey, itemKey))
            return item;
    }
    return nullptr;
}

void TChangeList::Record(std::u16string_view fieldName, std::u16string_view oldValue,
                         std::u16string_view newValue, std::u16string_view itemKey,
                         std::u16string_view itemDescription) {
    if (TChangeItem* existing = Find(fieldName, itemKey)) {
        existing->NewValue = newValue;
        return;
    }
    auto* item = static_cast<TChangeItem*>(Add());
    item->FieldName = fieldName;
    item->OldValue = oldValue;
    item->NewValue = newValue;
    item->ItemKey = itemKey;
    item->ItemDescription = itemDescription;
}

} // namespace quill::exchange
