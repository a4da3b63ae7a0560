// Parameter definition rows: how a driver declares the parameters of its devices in constant
// tables (name, second name, caption, type name, read-only flag, default value, description, and
// the driver's accessor that reads and writes the parameter through a call by name).
//
// The texts of a row are UTF-16 literals of the driver; registration converts them once to the
// library's 8-bit texts, cutting each to its capacity (names and caption 100 characters, type 10,
// default and description 255).
#pragma once

#include "platform/com/variant.h"
#include "platform/rtl/object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quill::registry {

// (context object, write?, value, name): reads or writes one parameter of the call's device.
using ParamAccessor = bool (*)(rtl::TObject* context, bool write, com::OleVariant& value,
                               const std::string& name);

struct TParamDefRow {
    std::u16string_view Name;
    std::u16string_view SecondName;
    std::u16string_view Caption;
    std::u16string_view TypeName;
    std::uint8_t ReadOnly = 0;
    std::u16string_view DefaultValue;
    std::u16string_view Description;
    ParamAccessor Accessor = nullptr;
};

namespace capacity {
constexpr std::size_t Name = 100;
constexpr std::size_t TypeName = 10;
constexpr std::size_t Text = 255;
} // namespace capacity

// `text` in Windows-1251, cut to `limit` bytes.
std::string RowText(std::u16string_view text, std::size_t limit);

} // namespace quill::registry
