// The BSTR functions on Windows: the system's allocator (oleaut32), so that the host may free
// what the library hands out and the reverse. Our OLECHAR is char16_t, the system's wchar_t: the
// same 16-bit code units, converted at the boundary.
#include "platform/com/bstr.h"
#include "platform/kernel/fault_injection.h"

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cerrno>

namespace quill::com {

static_assert(sizeof(OLECHAR) == sizeof(::OLECHAR));

namespace {

::OLECHAR* System(const OLECHAR* text) {
    return reinterpret_cast<::OLECHAR*>(const_cast<OLECHAR*>(text));
}
BSTR Ours(::BSTR text) {
    return reinterpret_cast<BSTR>(text);
}

// The allocations go through the same door as the stand-in's, so that a test can fail them.
bool Refused() {
    if (const int error = kernel::FaultInjected(kernel::TFaultKind::Allocation)) {
        errno = error;
        return true;
    }
    return false;
}

} // namespace

BSTR SysAllocString(const OLECHAR* text) {
    if (!text || Refused()) return nullptr;
    return Ours(::SysAllocString(System(text)));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    if (Refused()) return nullptr;
    BSTR result = Ours(::SysAllocStringLen(System(text), length));
    // The system leaves the characters undefined for a nil source; ours are zero.
    if (result && !text) std::fill(result, result + length, u'\0');
    return result;
}

BSTR SysAllocStringByteLen(const char* bytes, UINT length) {
    if (Refused()) return nullptr;
    BSTR result = Ours(::SysAllocStringByteLen(bytes, length));
    if (result && !bytes) std::fill_n(reinterpret_cast<char*>(result), length, '\0');
    return result;
}

void SysFreeString(BSTR text) {
    ::SysFreeString(reinterpret_cast<::BSTR>(text));
}

UINT SysStringLen(BSTR text) {
    return ::SysStringLen(reinterpret_cast<::BSTR>(text));
}

UINT SysStringByteLen(BSTR text) {
    return ::SysStringByteLen(reinterpret_cast<::BSTR>(text));
}

} // namespace quill::com
