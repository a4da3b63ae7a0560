// Small text routines shared across the library. All texts are Windows-1251; all routines are pure
// and thread-safe and never raise.
#pragma once

#include "platform/kernel/compare_string.h"

#include <string>
#include <string_view>

namespace quill::infra {

// With `second` false: the part before the first "," (the whole text when there is none); with
// `second` true: the part after the first "," (empty when there is none). Member names come as
// "Russian,English" pairs.
std::string CommaPart(std::string_view text, bool second);

// Each pair of hexadecimal digits becomes one byte, in order; an odd last digit is ignored; if any
// pair is not hexadecimal the result is empty.
std::string HexToBytes(std::string_view text);

// -1, 0 or 1: `a` against `b` ignoring case under `locale`.
int CompareTextLocale(std::string_view a, std::string_view b,
                      kernel::LCID locale = kernel::LOCALE_USER_DEFAULT);

} // namespace quill::infra
