#include "registry/models/prop_list.h"

#include "exchange/xml/text_utils.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/format_settings.h"
#include "platform/rtl/convert.h"

#include <unordered_map>

namespace quill::registry {

namespace {

// The Russian type name of the rule, converted once.
const std::string& NumberTypeName() {
    static const std::string name = kernel::WideToAnsi(u"Число");
    return name;
}

std::string WithProcessSeparator(std::string text) {
    const char separator = kernel::ProcessFormatSettings().DecimalSeparator;
    for (char& c : text)
        if (c == '.' || c == ',') c = separator;
    return text;
}

} // namespace

std::string_view TPropItem::ClassName() const {
    return "TPropItem";
}

void TPropItem::Assign(const TPropItem& source) {
    Identifier = source.Identifier;
    Alias = source.Alias;
    Name = source.Name;
    TypeName = source.TypeName;
    ReadOnly = source.ReadOnly;
    DefaultValue = source.DefaultValue;
    Description = source.Description;
    Value = DefaultValue;
}

void TPropItem::SetDescription(std::string_view text) {
    Description = text.substr(0, MaxDescriptionLength);
}

com::OleVariant TPropItem::Typed(const std::string& text) const {
    if (kernel::AnsiSameText(TypeName, "Integer")) {
        if (auto v = rtl::TryStrToInt(text)) return com::OleVariant(*v);
        if (auto v = rtl::TryStrToInt(DefaultValue)) return com::OleVariant(*v);
        return com::OleVariant(0);
    }
    if (kernel::AnsiSameText(TypeName, "Double") ||
        kernel::AnsiSameText(TypeName, NumberTypeName())) {
        if (auto v = rtl::TryStrToFloat(WithProcessSeparator(text))) return com::OleVariant(*v);
        if (auto v = rtl::TryStrToFloat(DefaultValue)) return com::OleVariant(*v);
        return com::OleVariant(0.0);
    }
    if (kernel::AnsiSameText(TypeName, "Boolean"))
        return com::OleVariant(kernel::AnsiSameText(text, "True"));
    return com::OleVariant(kernel::AnsiToWide(exchange::EscapeLineBreaks(text, false)));
}

com::OleVariant TPropItem::ValueAsVariant() const {
    return Typed(Value);
}

com::OleVariant TPropItem::DefaultAsVariant() const {
    return Typed(DefaultValue);
}

std::u16string_view TPropItem::XmlTypeName() const {
    if (kernel::AnsiSameText(TypeName, "Integer")) return u"Число";
    if (kernel::AnsiSameText(TypeName, "Boolean")) return u"Boolean";
    if (kernel::AnsiSameText(TypeName, "String")) return u"Строка";
    return {};
}

TPropList::TPropList() : rtl::TCollection(&rtl::ItemClassOf<TPropItem>) {}

std::string_view TPropList::ClassName() const {
    return "TPropList";
}

TPropItem* TPropList::FindByIdentifier(std::string_view text) const {
    for (int i = 0; i < Count(); ++i) {
        TPropItem* item = PropertyAt(i);
        if (kernel::AnsiSameText(item->Identifier, text)) return item;
        // An alias that was never set is no name: it must not match an empty text.
        if (!item->Alias.empty() && kernel::AnsiSameText(item->Alias, text)) return item;
    }
    return nullptr;
}

TPropItem* TPropList::AddDefinition(std::string_view name, std::string_view alias,
                                    std::string_view caption, std::string_view typeName,
                                    bool readOnly, std::string_view defaultValue,
                                    std::string_view description) {
    TPropItem* item = FindByIdentifier(name);
    if (!item) item = AddItem();
    item->Identifier = name;
    item->Alias = alias;
    item->Name = caption;
    item->TypeName = typeName;
    item->ReadOnly = readOnly;
    item->DefaultValue = defaultValue;
    item->SetDescription(description);
    item->Value = item->DefaultValue;
    return item;
}

void TPropList::SetValueByName(std::string_view name, std::string_view text) {
    TPropItem* item = FindByIdentifier(name);
    if (!item) {
        item = AddItem();
        item->Identifier = name;
    }
    item->SetValue(text);
}

void TPropList::SetValuesByName(std::span<const std::pair<std::string, std::string>> pairs) {
    // Each name folded once; a key keeps the first item that answers to it, by identifier or
    // alias, which is the item FindByIdentifier finds.
    std::unordered_map<std::string, TPropItem*> byName;
    byName.reserve(static_cast<std::size_t>(Count()) + pairs.size());
    for (int i = 0; i < Count(); ++i) {
        TPropItem* item = PropertyAt(i);
        byName.try_emplace(kernel::AnsiUpperCase(item->Identifier), item);
        if (!item->Alias.empty()) byName.try_emplace(kernel::AnsiUpperCase(item->Alias), item);
    }
    for (const auto& [name, text] : pairs) {
        auto [at, added] = byName.try_emplace(kernel::AnsiUpperCase(name), nullptr);
        if (added) {
            at->second = AddItem();
            at->second->Identifier = name;
        }
        at->second->SetValue(text);
    }
}

std::string TPropList::ValueByName(std::string_view name) const {
    const TPropItem* item = FindByIdentifier(name);
    return item ? item->Value : std::string();
}

void TPropList::SetValues(std::span<const std::string> lines) {
    for (const std::string& line : lines) {
        const auto at = line.find('=');
        if (at == std::string::npos) continue;
        SetValueByName(std::string_view(line).substr(0, at), std::string_view(line).substr(at + 1));
    }
}

} // namespace quill::registry
