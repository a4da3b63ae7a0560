// GUIDs and their braced text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
//
// GuidFromText: an empty text gives the null GUID; any other text must be the braced form (hex
// digits of either case), else rtl::Exception "Значение не является идентификатором объекта."
// (Windows-1251). The 8-bit overload reads Windows-1251. IsGuidText never raises. NewGuid raises
// rtl::EOleSysError if the system has no random source. All routines are thread-safe.
#pragma once

#include "platform/com/variant.h"

#include <string>
#include <string_view>

namespace quill::infra {

com::GUID GuidFromText(std::u16string_view text);
com::GUID GuidFromText(std::string_view text);
// True when `value` holds a text that GuidFromText accepts (the empty text included).
bool IsGuidText(const com::VARIANT& value);
// The braced upper-case form.
std::u16string GuidToText(const com::GUID& guid);
com::GUID NewGuid();
bool SameGuid(const com::GUID& a, const com::GUID& b);

} // namespace quill::infra
