// GUID creation and the braced text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include "platform/com/com_types.h"

#include <string>
#include <string_view>

namespace quill::com {

// A random (version 4) GUID from the kernel's random source. Thread-safe.
HRESULT CoCreateGuid(GUID* guid);
// The braced upper-case text of `guid`.
std::u16string StringFromCLSID(const GUID& guid);
// Parses exactly the braced form (hex digits of either case); CO_E_CLASSSTRING otherwise, with
// `guid` left unchanged.
HRESULT CLSIDFromString(std::u16string_view text, GUID* guid);

} // namespace quill::com
