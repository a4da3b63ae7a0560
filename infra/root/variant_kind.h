// Classification of variant values, and copying between one-dimensional safe arrays and variants.
//
// VariantKind and VariantBaseType give the type code without the by-reference bit, currency
// counted as double; VariantKind also counts a double (or currency) within 1e-9 of its nearest
// integer as a 32-bit integer, so that numbers the host sends as doubles are taken as integers.
// The array routines take element i at index i (absolute, not relative to the lower bound) for
// i = 0..high; an element the array lacks or a `values` span shorter than high + 1 raises
// rtl::EOleSysError / rtl::EListError and leaves the elements before it already copied.
// Thread-safe on distinct values.
#pragma once

#include "platform/com/com_safearray.h"

#include <initializer_list>
#include <span>

namespace quill::infra {

com::VARTYPE VariantKind(const com::VARIANT& value);
com::VARTYPE VariantBaseType(const com::VARIANT& value);
bool VariantKindIn(const com::VARIANT& value, std::initializer_list<com::VARTYPE> kinds);

// The value a by-reference variant (VT_BYREF | VT_VARIANT) refers to, one level deep; any other
// value, and a by-reference variant with a nil reference, is itself.
const com::VARIANT& Deref(const com::VARIANT& value);
// The type of Deref(value) without the by-reference bit.
com::VARTYPE DerefType(const com::VARIANT& value);
// Whether Deref(value) holds a text (VT_BSTR) or an object (VT_DISPATCH), in place or by reference.
bool IsText(const com::VARIANT& value);
bool IsObject(const com::VARIANT& value);

// values[i] := element i of `array`, for i = 0..high.
void ArrayToValues(const com::SAFEARRAY* array, std::span<com::OleVariant> values, int high);
// Element i of `array` := values[i], for i = 0..high; the value is converted to the element type
// of a typed array.
void ValuesToArray(com::SAFEARRAY* array, std::span<const com::OleVariant> values, int high);

} // namespace quill::infra
