// SAFEARRAY: the platform's self-describing array of any number of dimensions.
//
// Dimension 1 varies fastest in memory. As on the platform, the bound records inside the
// descriptor are stored last dimension first (rgsabound[0] describes the last dimension), while
// every function takes and returns dimensions numbered from 1 in natural order, and index vectors
// list dimension 1 first. Element types: VT_VARIANT, VT_BSTR, VT_UNKNOWN, VT_DISPATCH and the
// fixed-size scalars (VT_I1 .. VT_UI8, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BOOL, VT_ERROR, VT_INT,
// VT_UINT). The array owns its elements: destroying it frees texts and releases interfaces.
//
// Errors are HRESULTs: E_INVALIDARG for nil arguments or a bad dimension, DISP_E_BADINDEX for an
// index outside the bounds, E_OUTOFMEMORY when the size overflows or memory is exhausted,
// DISP_E_ARRAYISLOCKED when destroying or resizing a locked array. Not thread-safe per array.
#pragma once

#include "platform/com/variant.h"

namespace quill::com {

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

constexpr USHORT FADF_AUTO = 0x0001;
constexpr USHORT FADF_STATIC = 0x0002;
constexpr USHORT FADF_EMBEDDED = 0x0004;
constexpr USHORT FADF_FIXEDSIZE = 0x0010;
constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;
constexpr USHORT FADF_DISPATCH = 0x0400;
constexpr USHORT FADF_VARIANT = 0x0800;

// `bounds[0]` describes dimension 1. Returns nil for an unsupported type, zero dimensions or a size
// that does not fit in memory.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds);
// As SafeArrayCreate, except that the data block of an array of plain numbers is left
// uninitialised, for a caller that overwrites every element straight away (a decoder copying a
// block of numbers in one piece) and would otherwise pay for zeroing it first. Elements that own
// something (texts, interfaces, variants) are still zeroed, as destroying the array reads them.
SAFEARRAY* SafeArrayCreateForOverwrite(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds);
// As SafeArrayCreate, with no element initialised, not even those that own something: for a
// decoder that writes every element in turn and would otherwise pay for zeroing a large table
// first. Until every element is written the array must not be read, copied or destroyed; a
// decoder that stops early writes the rest as empty elements (all bytes zero) first.
SAFEARRAY* SafeArrayCreateToFill(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements);
HRESULT SafeArrayDestroy(SAFEARRAY* array);
HRESULT SafeArrayCopy(const SAFEARRAY* source, SAFEARRAY** copy);
UINT SafeArrayGetDim(const SAFEARRAY* array);
UINT SafeArrayGetElemsize(const SAFEARRAY* array);
HRESULT SafeArrayGetVartype(const SAFEARRAY* array, VARTYPE* vt);
HRESULT SafeArrayGetLBound(const SAFEARRAY* array, UINT dim, LONG* bound);
HRESULT SafeArrayGetUBound(const SAFEARRAY* array, UINT dim, LONG* bound);
// Copies element `indices` into `value`: a BSTR is copied, an interface AddRef'ed, a VARIANT
// deep-copied; the caller owns the copy.
HRESULT SafeArrayGetElement(const SAFEARRAY* array, const LONG* indices, void* value);
// Stores a copy of `value` (for BSTR and interface arrays `value` is the BSTR or the interface
// pointer itself, as on the platform), freeing the previous element.
HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* indices, const void* value);
HRESULT SafeArrayPtrOfIndex(const SAFEARRAY* array, const LONG* indices, void** element);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
HRESULT SafeArrayLock(SAFEARRAY* array);
HRESULT SafeArrayUnlock(SAFEARRAY* array);
// Changes the count and lower bound of the last dimension, keeping the elements that remain.
HRESULT SafeArrayRedim(SAFEARRAY* array, const SAFEARRAYBOUND* lastDimension);

// The bound record of dimension `dim` (1-based, natural order); the caller checks `dim`.
inline const SAFEARRAYBOUND& SafeArrayBound(const SAFEARRAY* array, UINT dim) {
    return array->rgsabound[array->cDims - dim];
}
// Number of elements over all dimensions (0 for nil).
inline ULONGLONG SafeArrayElementCount(const SAFEARRAY* array) {
    if (!array) return 0;
    ULONGLONG count = 1;
    for (UINT d = 0; d < array->cDims; ++d)
        count *= array->rgsabound[d].cElements;
    return count;
}

} // namespace quill::com
