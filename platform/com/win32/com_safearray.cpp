// The SAFEARRAY functions on Windows: the system's (oleaut32), so that an array the host passes in
// or receives (the value array's table) is the system's own allocation. Our descriptor has the
// system's 32-bit layout, checked here; both number dimensions from 1 in natural order, list
// index vectors dimension 1 first and store the bound records last dimension first.
#include "platform/com/com_safearray.h"

#include "platform/kernel/fault_injection.h"

#include <windows.h>
#include <oleauto.h>

#include <cerrno>
#include <cstddef>
#include <limits>

namespace quill::com {

static_assert(sizeof(SAFEARRAYBOUND) == sizeof(::SAFEARRAYBOUND));
static_assert(offsetof(SAFEARRAYBOUND, cElements) == offsetof(::SAFEARRAYBOUND, cElements));
static_assert(offsetof(SAFEARRAYBOUND, lLbound) == offsetof(::SAFEARRAYBOUND, lLbound));
static_assert(sizeof(SAFEARRAY) == sizeof(::SAFEARRAY) && sizeof(SAFEARRAY) == 24);
static_assert(offsetof(SAFEARRAY, cDims) == offsetof(::SAFEARRAY, cDims));
static_assert(offsetof(SAFEARRAY, fFeatures) == offsetof(::SAFEARRAY, fFeatures));
static_assert(offsetof(SAFEARRAY, cbElements) == offsetof(::SAFEARRAY, cbElements));
static_assert(offsetof(SAFEARRAY, cLocks) == offsetof(::SAFEARRAY, cLocks));
static_assert(offsetof(SAFEARRAY, pvData) == offsetof(::SAFEARRAY, pvData));
static_assert(offsetof(SAFEARRAY, rgsabound) == offsetof(::SAFEARRAY, rgsabound));
static_assert(FADF_HAVEVARTYPE == 0x0080 && FADF_BSTR == 0x0100 && FADF_VARIANT == 0x0800);

namespace {

::SAFEARRAY* System(const SAFEARRAY* array) {
    return reinterpret_cast<::SAFEARRAY*>(const_cast<SAFEARRAY*>(array));
}
SAFEARRAY* Ours(::SAFEARRAY* array) {
    return reinterpret_cast<SAFEARRAY*>(array);
}

// The element types of the contract are those whose size the contract knows; the system knows
// more (records, decimals), which no caller here is prepared for.
bool Supported(VARTYPE vt) {
    return VarTypeSize(vt) != 0;
}

// Whether the data block fits in memory. The system multiplies the counts in 32 bits and hands
// out an array whose block is far smaller than its bounds say when the product wraps: every
// later access would then run past the block.
bool SizeFits(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
    ULONGLONG bytes = VarTypeSize(vt);
    for (UINT d = 0; d < dims; ++d) {
        bytes *= bounds[d].cElements;
        if (bytes > std::numeric_limits<std::size_t>::max() / 2) return false;
    }
    return true;
}

// The system takes the bound records in natural order too: the first describes dimension 1.
SAFEARRAY* Create(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
    if (dims == 0 || !bounds || !Supported(vt) || !SizeFits(vt, dims, bounds)) return nullptr;
    // The allocations go through the same door as the stand-in's, so that a test can fail them.
    if (const int error = kernel::FaultInjected(kernel::TFaultKind::Allocation)) {
        errno = error;
        return nullptr;
    }
    return Ours(::SafeArrayCreate(
        vt, dims, reinterpret_cast<::SAFEARRAYBOUND*>(const_cast<SAFEARRAYBOUND*>(bounds))));
}

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
    return Create(vt, dims, bounds);
}

// The system always zeroes the data block: what these save elsewhere costs nothing here, and a
// zeroed block is a valid one for every use the contract allows.
SAFEARRAY* SafeArrayCreateForOverwrite(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
    return Create(vt, dims, bounds);
}

SAFEARRAY* SafeArrayCreateToFill(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
    return Create(vt, dims, bounds);
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements) {
    const SAFEARRAYBOUND bound{elements, lowerBound};
    return Create(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    return ::SafeArrayDestroy(System(array));
}

HRESULT SafeArrayCopy(const SAFEARRAY* source, SAFEARRAY** copy) {
    if (!source || !copy) return E_INVALIDARG;
    if (const int error = kernel::FaultInjected(kernel::TFaultKind::Allocation)) {
        errno = error;
        *copy = nullptr;
        return E_OUTOFMEMORY;
    }
    return ::SafeArrayCopy(System(source), reinterpret_cast<::SAFEARRAY**>(copy));
}

UINT SafeArrayGetDim(const SAFEARRAY* array) {
    return array ? ::SafeArrayGetDim(System(array)) : 0;
}

UINT SafeArrayGetElemsize(const SAFEARRAY* array) {
    return array ? ::SafeArrayGetElemsize(System(array)) : 0;
}

HRESULT SafeArrayGetVartype(const SAFEARRAY* array, VARTYPE* vt) {
    if (!array || !vt) return E_INVALIDARG;
    return ::SafeArrayGetVartype(System(array), vt);
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* array, UINT dim, LONG* bound) {
    if (!array || !bound) return E_INVALIDARG;
    return ::SafeArrayGetLBound(System(array), dim, reinterpret_cast<::LONG*>(bound));
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* array, UINT dim, LONG* bound) {
    if (!array || !bound) return E_INVALIDARG;
    return ::SafeArrayGetUBound(System(array), dim, reinterpret_cast<::LONG*>(bound));
}

HRESULT SafeArrayGetElement(const SAFEARRAY* array, const LONG* indices, void* value) {
    if (!array || !indices || !value) return E_INVALIDARG;
    return ::SafeArrayGetElement(System(array),
                                 reinterpret_cast<::LONG*>(const_cast<LONG*>(indices)), value);
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* indices, const void* value) {
    if (!array || !indices) return E_INVALIDARG;
    return ::SafeArrayPutElement(System(array),
                                 reinterpret_cast<::LONG*>(const_cast<LONG*>(indices)),
                                 const_cast<void*>(value));
}

HRESULT SafeArrayPtrOfIndex(const SAFEARRAY* array, const LONG* indices, void** element) {
    if (!array || !indices || !element) return E_INVALIDARG;
    return ::SafeArrayPtrOfIndex(System(array),
                                 reinterpret_cast<::LONG*>(const_cast<LONG*>(indices)), element);
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
    if (!array || !data) return E_INVALIDARG;
    return ::SafeArrayAccessData(System(array), data);
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
    if (!array) return E_INVALIDARG;
    return ::SafeArrayUnaccessData(System(array));
}

HRESULT SafeArrayLock(SAFEARRAY* array) {
    if (!array) return E_INVALIDARG;
    return ::SafeArrayLock(System(array));
}

HRESULT SafeArrayUnlock(SAFEARRAY* array) {
    if (!array) return E_INVALIDARG;
    return ::SafeArrayUnlock(System(array));
}

HRESULT SafeArrayRedim(SAFEARRAY* array, const SAFEARRAYBOUND* lastDimension) {
    if (!array || !lastDimension) return E_INVALIDARG;
    return ::SafeArrayRedim(System(array), reinterpret_cast<::SAFEARRAYBOUND*>(
                                               const_cast<SAFEARRAYBOUND*>(lastDimension)));
}

} // namespace quill::com
