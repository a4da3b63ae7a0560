// The filter of a model load and the XPath predicates made from it.
//
// A condition compares an attribute with a value without regard to letter case: both sides go
// through the platform's Windows-1251 case folding (translate() with the folding's alphabets on the
// attribute, the folding itself on the value). Values are stored escaped ("&" as "&amp;", then '"'
// as "&quot;"). The state attribute (115) is special: the value "0" keeps every element whose state
// is not "1", any other value every element whose state is not "0". Pure functions; errors are the
// coded error 20000 (arrays of different length) and the name-table errors.
#pragma once

#include "exchange/collections/base_list.h"

#include <span>
#include <string>

namespace quill::exchange {

// Adds one condition per (number, value) to `filter` in order; an empty value or "*" adds
// nothing; 122 is stored under "_101" and 129 under "_100"; an existing key keeps its place and
// takes the new value. Everything is checked before `filter` is touched.
void AddFilterConditions(TFilter& filter, std::span<const int> numbers,
                         std::span<const std::u16string> values);

struct TFilterPredicates {
    std::u16string Model; // conditions on the model element
    std::u16string Class; // conditions on the enclosing class element
};

// Both predicates, each "[" conditions joined by " and " "]", or empty without conditions.
TFilterPredicates BuildPredicates(const TFilter& filter);

// The value side of a condition: every letter with a case partner in Windows-1251 mapped to lower
// case, exactly as the predicate's translate() maps the attribute.
std::u16string FilterLowerCase(std::u16string_view text);

} // namespace quill::exchange
