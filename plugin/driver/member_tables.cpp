#include "plugin/driver/member_tables.h"

#include "platform/kernel/codepage.h"

#include <array>

namespace quill::plugin {

namespace {

// Upper case of every Windows-1251 byte, taken once from the code page's case rules: the key of a
// name is made on every call, so the per-byte rule is a table lookup.
const std::array<char, 256>& UpperTable() {
    static const std::array<char, 256> table = [] {
        std::array<char, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[c] = static_cast<char>(kernel::AnsiUpper(static_cast<unsigned char>(c)));
        return t;
    }();
    return table;
}

void UpperInPlace(std::string& text) {
    const auto& upper = UpperTable();
    for (char& c : text)
        c = upper[static_cast<unsigned char>(c)];
}

} // namespace

std::u16string_view NamePart(std::u16string_view pair, bool second) {
    const auto comma = pair.find(u',');
    if (comma == std::u16string_view::npos) return second ? std::u16string_view() : pair;
    return second ? pair.substr(comma + 1) : pair.substr(0, comma);
}

void TMemberIndex::MakeKey(std::u16string_view name, std::string& key) {
    // Names are ASCII or Cyrillic; a character outside the code page becomes "?" as any
    // conversion to the library's texts makes it.
    key = kernel::WideToAnsi(name);
    UpperInPlace(key);
}

TMemberIndex::Members& TMemberIndex::Slot(std::u16string_view name) {
    std::string key;
    MakeKey(name, key);
    return FMembers[key];
}

TMemberIndex::TMemberIndex(std::span<const MethodRecord> tableA,
                           std::span<const MethodRecord> tableB,
                           std::span<const PropertyRecord> table1,
                           std::span<const PropertyRecord> table2) {
    // An earlier record keeps a name that a later one repeats.
    auto addMethod = [&](std::u16string_view name, const MethodRecord* record, std::int32_t id) {
        Members& slot = Slot(name);
        if (!slot.Method) {
            slot.Method = record;
            slot.MethodId = id;
        }
    };
    auto addMethods = [&](std::span<const MethodRecord> table, std::int32_t base) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            const std::int32_t id = base + static_cast<std::int32_t>(i);
            // A record whose name has no comma matches its whole name; the empty second part
            // then matches only an empty name, which never reaches the lookup.
            addMethod(NamePart(table[i].Name, false), &table[i], id);
            if (table[i].Name.find(u',') != std::u16string_view::npos)
                addMethod(NamePart(table[i].Name, true), &table[i], id);
        }
    };
    addMethods(tableA, MethodTableABase);
    addMethods(tableB, MethodTableBBase);
    auto addProperty = [&](std::u16string_view name, const PropertyRecord* record,
                           std::int32_t id) {
        Members& slot = Slot(name);
        if (!slot.Property) {
            slot.Property = record;
            slot.PropertyId = id;
        }
    };
    auto addProperties = [&](std::span<const PropertyRecord> table, std::int32_t base) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            const std::int32_t id = base + static_cast<std::int32_t>(i);
            addProperty(table[i].NameRu, &table[i], id);
            addProperty(table[i].NameEn, &table[i], id);
        }
    };
    addProperties(table2, PropertyTable2Base);
    addProperties(table1, PropertyTable1Base);
    // An empty name is refused before any lookup; an empty NameEn must not make it a member.
    FMembers.erase(std::string());
}

const TMemberIndex::Members* TMemberIndex::Find(const std::string& key) const {
    auto it = FMembers.find(key);
    return it == FMembers.end() ? nullptr : &it->second;
}

const TMemberIndex::Members* TMemberIndex::FindAnsi(std::string_view name) const {
    std::string key(name);
    UpperInPlace(key);
    return Find(key);
}

const MethodRecord* TMemberIndex::FindMethod(std::string_view name) const {
    const Members* m = FindAnsi(name);
    return m ? m->Method : nullptr;
}

const PropertyRecord* TMemberIndex::FindProperty(std::string_view name) const {
    const Members* m = FindAnsi(name);
    return m ? m->Property : nullptr;
}

std::int32_t TMemberIndex::PropertyId(std::string_view name) const {
    const Members* m = FindAnsi(name);
    return m ? m->PropertyId : -1;
}

std::int32_t TMemberIndex::MethodId(std::string_view name) const {
    const Members* m = FindAnsi(name);
    return m ? m->MethodId : -1;
}

} // namespace quill::plugin
