// GUID creation on Windows: the system's generator (ole32).
#include "platform/com/guid.h"

#include <windows.h>
#include <objbase.h>

#include <cstddef>

namespace quill::com {

static_assert(sizeof(GUID) == sizeof(::GUID));
static_assert(offsetof(GUID, Data2) == offsetof(::GUID, Data2));
static_assert(offsetof(GUID, Data3) == offsetof(::GUID, Data3));
static_assert(offsetof(GUID, Data4) == offsetof(::GUID, Data4));

HRESULT CoCreateGuid(GUID* guid) {
    if (!guid) return E_INVALIDARG;
    return ::CoCreateGuid(reinterpret_cast<::GUID*>(guid));
}

} // namespace quill::com
