// The run-time library's conversions between texts, numbers and variants (Windows-1251 texts).
//
// StrToInt and StrToFloat raise EConvertError with the run-time library's messages
// ("'abc' is not a valid integer value", "... floating point value"); the Try forms return
// nothing instead. VarTo* convert a variant as the run-time library's variant support does: a
// null or empty variant gives the empty text or 0, a Boolean gives "True"/"False", and a value
// that cannot be converted raises EVariantError.
#pragma once

#include "platform/com/variant.h"
#include "platform/rtl/exception.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill::rtl {

class EVariantError : public Exception {
  public:
    using Exception::Exception;
    ~EVariantError() override;
};

std::int32_t StrToInt(std::string_view text);
std::optional<std::int32_t> TryStrToInt(std::string_view text);
double StrToFloat(std::string_view text);
std::optional<double> TryStrToFloat(std::string_view text);
std::string IntToStr(std::int64_t value);
std::string FloatToStr(double value);

std::u16string VarToWide(const com::VARIANT& value);
std::string VarToStr(const com::VARIANT& value);
std::int32_t VarToInt(const com::VARIANT& value);
double VarToDouble(const com::VARIANT& value);
bool VarToBool(const com::VARIANT& value);
// `value` converted to `vt` (by value); raises EVariantError when it cannot be.
com::OleVariant VarAsType(const com::VARIANT& value, com::VARTYPE vt);
// The name the run-time library gives a variant type in its messages ("Integer", "String", ...).
std::string VarTypeName(com::VARTYPE vt);

// Writes `value` back through the by-reference argument `slot` of a caller, converted to the
// referenced type: a variant (replaced by a copy), a 32-bit integer, a double or a text (the old
// text freed). Returns false, changing nothing, for a slot that is not by reference, has a nil
// reference or refers to another type; the caller decides what that means. A conversion that
// fails raises as VarToInt, VarToDouble or VarToWide do.
bool WriteThroughReference(com::VARIANT& slot, const com::VARIANT& value);

} // namespace quill::rtl
