// The per-thread error information on Windows: the system's (oleaut32), so that the host reads
// a failure's description with its own GetErrorInfo. Our IErrorInfo and ICreateErrorInfo have the
// system's method tables (same slots, same calling convention), so the system's objects are used
// through our declarations as they are.
#include "platform/com/errorinfo.h"

#include <windows.h>
#include <oleauto.h>

namespace quill::com {

static_assert(sizeof(GUID) == sizeof(::GUID));

HRESULT CreateErrorInfo(ICreateErrorInfo** info) {
    if (!info) return E_POINTER;
    return ::CreateErrorInfo(reinterpret_cast<::ICreateErrorInfo**>(info));
}

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info) {
    return ::SetErrorInfo(reserved, reinterpret_cast<::IErrorInfo*>(info));
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info) {
    if (!info) return E_POINTER;
    return ::GetErrorInfo(reserved, reinterpret_cast<::IErrorInfo**>(info));
}

} // namespace quill::com
