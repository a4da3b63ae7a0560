// TPropItem and TPropList: the parameter descriptions of a model (identifier and alias, caption,
// type name, read-only flag, default, description) with a current value, all as 8-bit
// (Windows-1251) texts.
//
// Values are stored as text and read typed by the type rule: "Integer" (the text, else the default,
// else 0), "Double" or "Число" (either decimal separator accepted; else the default, else 0),
// "Boolean" (true exactly for "True" in any case), any other type a text with its escaped line
// breaks restored. Type names compare ignoring case. Descriptions keep at most 255 bytes.
//
// The descriptive texts are shared between an item and its copies (a device's rows are copies of
// the model's definitions), so that many devices cost one copy of them; only the value is each
// item's own. A list owns its items; not thread-safe (one thread, like the model list that holds
// it). Nothing here raises but an index out of range (rtl::EListError).
#pragma once

#include "platform/com/variant.h"
#include "platform/rtl/collection.h"
#include "platform/rtl/shared_text.h"

#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace quill::registry {

// The longest description a parameter keeps, in bytes.
constexpr std::size_t MaxDescriptionLength = 255;

class TPropItem : public rtl::TCollectionItem {
  public:
    explicit TPropItem(rtl::TCollection* collection) : rtl::TCollectionItem(collection) {}
    std::string_view ClassName() const override;

    // Copies the description fields of `source`; the value becomes the copied default.
    void Assign(const TPropItem& source);
    void SetValue(std::string_view text) { Value = text; }
    const std::string& ValueText() const { return Value; }
    // Stores `text` cut to MaxDescriptionLength bytes.
    void SetDescription(std::string_view text);

    com::OleVariant ValueAsVariant() const;
    com::OleVariant DefaultAsVariant() const;
    // The type name written into settings documents: "Integer" as "Число", "Boolean" as
    // "Boolean", "String" as "Строка", any other as the empty text.
    std::u16string_view XmlTypeName() const;

    rtl::TSharedText Identifier;
    rtl::TSharedText Alias;
    rtl::TSharedText Name;
    rtl::TSharedText TypeName;
    bool ReadOnly = false;
    rtl::TSharedText DefaultValue;
    rtl::TSharedText Description;
    std::string Value;

  private:
    com::OleVariant Typed(const std::string& text) const;
};

class TPropList : public rtl::TCollection {
  public:
    TPropList();
    std::string_view ClassName() const override;

    TPropItem* PropertyAt(int index) const { return static_cast<TPropItem*>(Items(index)); }
    TPropItem* AddItem() { return static_cast<TPropItem*>(Add()); }
    // The first item whose identifier, or whose (non-empty) alias, equals `text` ignoring case;
    // nil when none does.
    TPropItem* FindByIdentifier(std::string_view text) const;

    // Registers one parameter definition: the item found by `name` (or a new one) takes both
    // names, caption, type, read-only flag, default and description, and the default as value.
    TPropItem* AddDefinition(std::string_view name, std::string_view alias,
                             std::string_view caption, std::string_view typeName, bool readOnly,
                             std::string_view defaultValue, std::string_view description);
    // The same from a property record of the driver (fields NameRu, NameEn, Caption, TypeName,
    // ReadOnly, DefaultValue, Description).
    template <class Record> TPropItem* AddFromRecord(const Record& record) {
        return AddDefinition(record.NameRu, record.NameEn, record.Caption, record.TypeName,
                             record.ReadOnly, record.DefaultValue, record.Description);
    }

    // The item found by `name` (or a new one with that identifier) takes `text` as value.
    void SetValueByName(std::string_view name, std::string_view text);
    // SetValueByName for each pair in order, in time linear in the items and pairs (a device's
    // settings may name tens of thousands of parameters).
    void SetValuesByName(std::span<const std::pair<std::string, std::string>> pairs);
    // The value of the item found by `name`, or the empty text.
    std::string ValueByName(std::string_view name) const;
    // SetValueByName for each "name=value" line in order (split at the first "="); a line without
    // "=" names nothing and is skipped.
    void SetValues(std::span<const std::string> lines);
};

} // namespace quill::registry
