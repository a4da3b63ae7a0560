// The running-object table on Windows: the system's (ole32's table, through oleaut32's
// RegisterActiveObject), so that an object registered here is found by any program of the
// session, the host included. The calling thread must have joined COM (CoInitializeEx);
// otherwise the system's CO_E_NOTINITIALIZED is returned.
#include "platform/com/running_object_table.h"

#include <windows.h>
#include <oleauto.h>

namespace quill::com {

// The system's flags are macros that hide our constants of the same names here; ours are 0 and 1.
static_assert(ACTIVEOBJECT_STRONG == 0 && ACTIVEOBJECT_WEAK == 1);

HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* registration) {
    if (!object || !registration) return E_INVALIDARG;
    ::DWORD token = 0;
    const HRESULT hr =
        ::RegisterActiveObject(reinterpret_cast<::IUnknown*>(object),
                               reinterpret_cast<const ::CLSID&>(clsid), flags, &token);
    // A second registration of the class is kept too (MK_S_MONIKERALREADYREGISTERED).
    if (SUCCEEDED(hr)) {
        *registration = token;
        return S_OK;
    }
    return hr;
}

HRESULT RevokeActiveObject(DWORD registration, void* reserved) {
    return ::RevokeActiveObject(registration, reserved);
}

HRESULT GetActiveObject(REFCLSID clsid, void* reserved, IUnknown** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return ::GetActiveObject(reinterpret_cast<const ::CLSID&>(clsid), reserved,
                             reinterpret_cast<::IUnknown**>(object));
}

} // namespace quill::com
