// The static descriptions of what a host may call on the driver object by name, and the index
// that finds them.
//
// A method record names a pair of names ("Включить,SwitchOn": the parts before and after the
// first comma, in either language order), the number of arguments and the handler. A property
// record has a Russian and an English name, display texts, a read-only flag and a handler. The
// tables are static data of the concrete driver: referenced, never copied or freed.
//
// TMemberIndex answers FindMethod and FindProperty with one hash lookup of the upper-cased
// Windows-1251 name, so a call costs the same whatever the number of records: methods search
// table A before table B, properties table 2 before table 1, the first match winning, as a scan
// in that order would. Build it once per table set; it is read-only afterwards (thread-safe
// reads).
#pragma once

#include "platform/com/variant.h"
#include "platform/rtl/object.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quill::plugin {

// (context object, arguments, result): the handler may change the arguments.
using MethodHandler = void (*)(rtl::TObject* context, std::vector<com::OleVariant>& arguments,
                               com::OleVariant& result);
// (context object, write?, value, name): for a write `value` is the new value; for a read the
// handler sets it. The result is not consulted.
using PropertyHandler = bool (*)(rtl::TObject* context, bool write, com::OleVariant& value,
                                 const std::string& name);

struct MethodRecord {
    std::string_view Name; // Windows-1251; at most 200 characters
    std::uint8_t ParamCount;
    MethodHandler Handler;
};

struct PropertyRecord {
    std::string_view NameRu; // Windows-1251 texts of at most 100 characters
    std::string_view NameEn;
    std::string_view Caption;
    std::string_view TypeName; // at most 10 characters
    bool ReadOnly;
    std::string_view DefaultValue; // at most 255 characters
    std::string_view Description;  // at most 255 characters
    PropertyHandler Handler;
};

// Member identifiers of the four tables.
constexpr std::int32_t MethodTableABase = 0;
constexpr std::int32_t MethodTableBBase = 10000;
constexpr std::int32_t PropertyTable1Base = 100000;
constexpr std::int32_t PropertyTable2Base = 200000;
constexpr std::int32_t ModelPropertyBase = 300000;

// The part of a name pair before the first comma (the whole name without a comma), or after it.
std::string_view NamePart(std::string_view pair, bool second);

class TMemberIndex {
public:
    TMemberIndex() = default;
    TMemberIndex(std::span<const MethodRecord> tableA, std::span<const MethodRecord> tableB,
                 std::span<const PropertyRecord> table1, std::span<const PropertyRecord> table2);

    // `name` is Windows-1251; nil when nothing matches.
    const MethodRecord* FindMethod(std::string_view name) const;
    const PropertyRecord* FindProperty(std::string_view name) const;
    // The member identifier of a property of tables 1 and 2, or -1.
    std::int32_t PropertyId(std::string_view name) const;
    std::int32_t MethodId(std::string_view name) const;

private:
    struct Entry {
        std::int32_t Id;
        const void* Record;
    };
    static void AddFirst(std::unordered_map<std::string, Entry>& map, std::string_view name,
                         Entry entry);

    std::unordered_map<std::string, Entry> FMethods;
    std::unordered_map<std::string, Entry> FProperties;
};

} // namespace quill::plugin
