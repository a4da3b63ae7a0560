// CompareStringA: locale-aware comparison of two Windows-1251 texts.
//
// Every locale compares alike here: characters in the order of their UTF-16 values, after, with
// NORM_IGNORECASE, the case folding of Latin and Cyrillic letters (see codepage.h), the same order
// as AnsiCompareText. The result is the platform's
// CSTR_LESS_THAN (1), CSTR_EQUAL (2) or CSTR_GREATER_THAN (3). Pure and thread-safe.
#pragma once

#include <cstdint>
#include <string_view>

namespace quill::kernel {

using LCID = std::uint32_t;

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr std::uint32_t NORM_IGNORECASE = 0x00000001;
constexpr int CSTR_LESS_THAN = 1;
constexpr int CSTR_EQUAL = 2;
constexpr int CSTR_GREATER_THAN = 3;

int CompareStringA(LCID locale, std::uint32_t flags, std::string_view a, std::string_view b);

} // namespace quill::kernel
