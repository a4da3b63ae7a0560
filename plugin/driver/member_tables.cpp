#include "plugin/driver/member_tables.h"

#include "platform/kernel/codepage.h"

namespace quill::plugin {

std::string_view NamePart(std::string_view pair, bool second) {
    const auto comma = pair.find(',');
    if (comma == std::string_view::npos) return second ? std::string_view() : pair;
    return second ? pair.substr(comma + 1) : pair.substr(0, comma);
}

void TMemberIndex::AddFirst(std::unordered_map<std::string, Entry>& map, std::string_view name,
                            Entry entry) {
    map.emplace(kernel::AnsiUpperCase(name), entry); // an earlier record keeps the name
}

TMemberIndex::TMemberIndex(std::span<const MethodRecord> tableA,
                           std::span<const MethodRecord> tableB,
                           std::span<const PropertyRecord> table1,
                           std::span<const PropertyRecord> table2) {
    auto addMethods = [&](std::span<const MethodRecord> table, std::int32_t base) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            const Entry entry{base + static_cast<std::int32_t>(i), &table[i]};
            // A record whose name has no comma matches its whole name; the empty second part
            // then matches only an empty name, which never reaches the lookup.
            AddFirst(FMethods, NamePart(table[i].Name, false), entry);
            if (table[i].Name.find(',') != std::string_view::npos)
                AddFirst(FMethods, NamePart(table[i].Name, true), entry);
        }
    };
    addMethods(tableA, MethodTableABase);
    addMethods(tableB, MethodTableBBase);
    auto addProperties = [&](std::span<const PropertyRecord> table, std::int32_t base) {
        for (std::size_t i = 0; i < table.size(); ++i) {
            const Entry entry{base + static_cast<std::int32_t>(i), &table[i]};
            AddFirst(FProperties, table[i].NameRu, entry);
            AddFirst(FProperties, table[i].NameEn, entry);
        }
    };
    addProperties(table2, PropertyTable2Base);
    addProperties(table1, PropertyTable1Base);
}

const MethodRecord* TMemberIndex::FindMethod(std::string_view name) const {
    auto it = FMethods.find(kernel::AnsiUpperCase(name));
    return it == FMethods.end() ? nullptr : static_cast<const MethodRecord*>(it->second.Record);
}

const PropertyRecord* TMemberIndex::FindProperty(std::string_view name) const {
    auto it = FProperties.find(kernel::AnsiUpperCase(name));
    return it == FProperties.end() ? nullptr : static_cast<const PropertyRecord*>(it->second.Record);
}

std::int32_t TMemberIndex::PropertyId(std::string_view name) const {
    auto it = FProperties.find(kernel::AnsiUpperCase(name));
    return it == FProperties.end() ? -1 : it->second.Id;
}

std::int32_t TMemberIndex::MethodId(std::string_view name) const {
    auto it = FMethods.find(kernel::AnsiUpperCase(name));
    return it == FMethods.end() ? -1 : it->second.Id;
}

} // namespace quill::plugin
