// The static descriptions of what a host may call on the driver object by name, and the index
// that finds them.
//
// A method record names a pair of names ("Включить,SwitchOn": the parts before and after the
// first comma, in either language order), the number of arguments and the handler. A property
// record has a Russian and an English name, display texts, a read-only flag and a handler. The
// tables are static data of the concrete driver: referenced, never copied or freed. Their texts
// are UTF-16 literals, converted to the library's 8-bit texts once, when the index is built.
//
// TMemberIndex answers FindMethod and FindProperty together with one hash lookup of the
// upper-cased Windows-1251 name, so a call costs the same whatever the number of records: methods
// search table A before table B, properties table 2 before table 1, the first match winning, as a
// scan in that order would. Build it once per table set; it is read-only afterwards (thread-safe
// reads).
#pragma once

#include "platform/com/variant.h"
#include "platform/rtl/object.h"
#include "registry/device/param_def.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quill::plugin {

class TBaseDllObj;

// (driver object, context object, arguments, result): the driver object is the one the call runs
// for; the context is the host's task object or the driver itself. The handler may change the
// arguments. Its result, when an integer or a boolean, is a result code: anything but 0 fails the
// call (registry/device/result_codes.h).
using MethodHandler = void (*)(TBaseDllObj& driver, rtl::TObject* context,
                               std::vector<com::OleVariant>& arguments, com::OleVariant& result);
// (context object, write?, value, name): for a write `value` is the new value; for a read the
// handler sets it. The result is not consulted. Device parameter accessors have the same form.
using PropertyHandler = registry::ParamAccessor;

struct MethodRecord {
    std::u16string_view Name; // at most 200 characters
    std::uint8_t ParamCount;
    MethodHandler Handler;
};

struct PropertyRecord {
    std::u16string_view NameRu; // texts of at most 100 characters
    std::u16string_view NameEn;
    std::u16string_view Caption;
    std::u16string_view TypeName; // at most 10 characters
    bool ReadOnly;
    std::u16string_view DefaultValue; // at most 255 characters
    std::u16string_view Description;  // at most 255 characters
    PropertyHandler Handler;
};

// Member identifiers of the four tables.
constexpr std::int32_t MethodTableABase = 0;
constexpr std::int32_t MethodTableBBase = 10000;
constexpr std::int32_t PropertyTable1Base = 100000;
constexpr std::int32_t PropertyTable2Base = 200000;
constexpr std::int32_t ModelPropertyBase = 300000;

// The part of a name pair before the first comma (the whole name without a comma), or after it.
std::u16string_view NamePart(std::u16string_view pair, bool second);

class TMemberIndex {
  public:
    // What one name denotes: a method, a property, both or (absent from the index) neither.
    struct Members {
        const MethodRecord* Method = nullptr;
        std::int32_t MethodId = -1;
        const PropertyRecord* Property = nullptr;
        std::int32_t PropertyId = -1;
    };

    TMemberIndex() = default;
    TMemberIndex(std::span<const MethodRecord> tableA, std::span<const MethodRecord> tableB,
                 std::span<const PropertyRecord> table1, std::span<const PropertyRecord> table2);

    // The key of a name: Windows-1251, upper-cased. `key` is reused to spare an allocation.
    static void MakeKey(std::u16string_view name, std::string& key);
    // The members of a key made by MakeKey; nil when the name denotes nothing.
    const Members* Find(const std::string& key) const;

    // `name` is Windows-1251; nil when nothing matches.
    const MethodRecord* FindMethod(std::string_view name) const;
    const PropertyRecord* FindProperty(std::string_view name) const;
    // The member identifier of a property of tables 1 and 2, or -1.
    std::int32_t PropertyId(std::string_view name) const;
    std::int32_t MethodId(std::string_view name) const;

  private:
    const Members* FindAnsi(std::string_view name) const;
    Members& Slot(std::u16string_view name);

    std::unordered_map<std::string, Members> FMembers;
};

} // namespace quill::plugin
