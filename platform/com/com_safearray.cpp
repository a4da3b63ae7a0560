#include "platform/com/com_safearray.h"

#include "platform/com/bstr_layout.h"
#include "platform/com/dispatch.h"
#include "platform/kernel/heap.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace quill::com {

namespace {

// The element type is kept in a word just before the descriptor, as the platform does.
constexpr std::size_t kTypeSlot = 16;

std::size_t DescriptorSize(UINT dims) {
    return sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND);
}

USHORT FeaturesFor(VARTYPE vt) {
    switch (vt) {
    case VT_BSTR:
        return FADF_BSTR;
    case VT_UNKNOWN:
        return FADF_UNKNOWN;
    case VT_DISPATCH:
        return FADF_DISPATCH;
    case VT_VARIANT:
        return FADF_VARIANT;
    default:
        return 0;
    }
}

// The element types an array may hold: those whose size the contract knows.
bool Supported(VARTYPE vt) {
    return VarTypeSize(vt) != 0;
}

SAFEARRAY* AllocateDescriptor(UINT dims, VARTYPE vt) {
    char* block = static_cast<char*>(kernel::HeapAllocateZeroed(kTypeSlot + DescriptorSize(dims)));
    if (!block) return nullptr;
    std::memcpy(block + kTypeSlot - sizeof(VARTYPE), &vt, sizeof(VARTYPE));
    auto* array = reinterpret_cast<SAFEARRAY*>(block + kTypeSlot);
    array->cDims = static_cast<USHORT>(dims);
    array->fFeatures = static_cast<USHORT>(FADF_HAVEVARTYPE | FeaturesFor(vt));
    array->cbElements = static_cast<ULONG>(VarTypeSize(vt));
    return array;
}

void FreeDescriptor(SAFEARRAY* array) {
    kernel::HeapFreeBlock(reinterpret_cast<char*>(array) - kTypeSlot);
}

VARTYPE TypeOf(const SAFEARRAY* array) {
    if (array->fFeatures & FADF_BSTR) return VT_BSTR;
    if (array->fFeatures & FADF_UNKNOWN) return VT_UNKNOWN;
    if (array->fFeatures & FADF_DISPATCH) return VT_DISPATCH;
    if (array->fFeatures & FADF_VARIANT) return VT_VARIANT;
    VARTYPE vt;
    std::memcpy(&vt, reinterpret_cast<const char*>(array) - sizeof(VARTYPE), sizeof(VARTYPE));
    return vt;
}

// Total bytes of the data block, or false on overflow.
bool DataBytes(const SAFEARRAY* array, std::size_t& bytes) {
    ULONGLONG count = 1;
    for (UINT d = 0; d < array->cDims; ++d) {
        const ULONGLONG n = array->rgsabound[d].cElements;
        if (n != 0 && count > std::numeric_limits<ULONGLONG>::max() / n) return false;
        count *= n;
    }
    if (count > (std::numeric_limits<std::size_t>::max() / 2) / array->cbElements) return false;
    bytes = static_cast<std::size_t>(count) * array->cbElements;
    return true;
}

// Frees what elements [first, first + count) own. With `leaveEmpty` they are left as empty
// elements (the array lives on); without, their bytes are left as they are, for a data block that
// is freed next.
void ReleaseElements(SAFEARRAY* array, std::size_t first, std::size_t count, bool leaveEmpty) {
    // Plain numbers own nothing: no need to visit a million of them.
    if (!array->pvData ||
        !(array->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT)))
        return;
    char* data = static_cast<char*>(array->pvData);
    // A table's texts lie in a few shared blocks: each block is released once per run of its
    // texts rather than once per text.
    bstr_layout::TTextReleaser texts;
    if (array->fFeatures & FADF_VARIANT) {
        // A table's cells are mostly numbers, which own nothing, and texts: both are cleared here
        // rather than by a call per cell, which costs more than the rest of a large table's
        // release.
        auto* cells = reinterpret_cast<VARIANT*>(data);
        const std::size_t end = first + count;
        for (std::size_t i = first; i < end; ++i) {
            VARIANT& cell = cells[i];
            if (cell.vt == VT_BSTR)
                texts.Free(cell.bstrVal);
            else if (!(cell.vt & VT_BYREF) &&
                     ((cell.vt & VT_ARRAY) || cell.vt == VT_UNKNOWN || cell.vt == VT_DISPATCH))
                VariantClear(&cell);
            if (leaveEmpty) std::memset(static_cast<void*>(&cell), 0, sizeof cell); // VT_EMPTY
        }
        return;
    }
    for (std::size_t i = first; i < first + count; ++i) {
        void* element = data + i * array->cbElements;
        if (array->fFeatures & FADF_BSTR) {
            texts.Free(*static_cast<BSTR*>(element));
            *static_cast<BSTR*>(element) = nullptr;
        } else if (array->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
            if (auto* p = *static_cast<IUnknown**>(element)) p->Release();
            *static_cast<IUnknown**>(element) = nullptr;
        }
    }
}

// Offset in elements of `indices` (dimension 1 first), or false when out of bounds.
bool ElementOffset(const SAFEARRAY* array, const LONG* indices, std::size_t& offset) {
    std::size_t stride = 1;
    offset = 0;
    for (UINT dim = 1; dim <= array->cDims; ++dim) {
        const SAFEARRAYBOUND& b = SafeArrayBound(array, dim);
        const LONGLONG rel = static_cast<LONGLONG>(indices[dim - 1]) - b.lLbound;
        if (rel < 0 || rel >= static_cast<LONGLONG>(b.cElements)) return false;
        offset += static_cast<std::size_t>(rel) * stride;
        stride *= b.cElements;
    }
    return true;
}

// Copies one element value into `target` storage of the array's element type.
HRESULT CopyElementIn(const SAFEARRAY* array, void* target, const void* value) {
    if (array->fFeatures & FADF_BSTR) {
        BSTR source = static_cast<BSTR>(const_cast<void*>(value));
        BSTR copy = source ? SysAllocStringLen(source, SysStringLen(source)) : nullptr;
        if (source && !copy) return E_OUTOFMEMORY;
        SysFreeString(*static_cast<BSTR*>(target));
        *static_cast<BSTR*>(target) = copy;
    } else if (array->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* p = static_cast<IUnknown*>(const_cast<void*>(value));
        if (p) p->AddRef();
        if (auto* old = *static_cast<IUnknown**>(target)) old->Release();
        *static_cast<IUnknown**>(target) = p;
    } else if (array->fFeatures & FADF_VARIANT) {
        return VariantCopy(static_cast<VARIANT*>(target), static_cast<const VARIANT*>(value));
    } else {
        std::memcpy(target, value, array->cbElements);
    }
    return S_OK;
}

HRESULT CopyElementOut(const SAFEARRAY* array, const void* element, void* value) {
    if (array->fFeatures & FADF_BSTR) {
        BSTR source = *static_cast<const BSTR*>(element);
        BSTR copy = source ? SysAllocStringLen(source, SysStringLen(source)) : nullptr;
        if (source && !copy) return E_OUTOFMEMORY;
        *static_cast<BSTR*>(value) = copy;
    } else if (array->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* p = *static_cast<IUnknown* const*>(element);
        if (p) p->AddRef();
        *static_cast<IUnknown**>(value) = p;
    } else if (array->fFeatures & FADF_VARIANT) {
        VariantInit(static_cast<VARIANT*>(value));
        return VariantCopy(static_cast<VARIANT*>(value), static_cast<const VARIANT*>(element));
    } else {
        std::memcpy(value, element, array->cbElements);
    }
    return S_OK;
}

} // namespace

namespace {

// Which elements creation zeroes.
enum class TZeroing { All, Owning, None };

// The forms of creation. Zeroing all elements suits a caller that fills some; zeroing only the
// owning ones (texts, interfaces, variants), a caller that fills all but may stop on a failure
// and destroy the array, whose destruction frees what each element holds; zeroing none, a caller
// that empties what it has not filled before it lets go of the array.
SAFEARRAY* CreateArray(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds, TZeroing zeroing) {
    if (dims == 0 || dims > 0xFFFF || !bounds || !Supported(vt)) return nullptr;
    SAFEARRAY* array = AllocateDescriptor(dims, vt);
    if (!array) return nullptr;
    for (UINT d = 0; d < dims; ++d)
        array->rgsabound[dims - 1 - d] = bounds[d];
    std::size_t bytes = 0;
    if (!DataBytes(array, bytes)) {
        FreeDescriptor(array);
        return nullptr;
    }
    if (bytes > 0) {
        const bool owning =
            array->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT);
        const bool zero = zeroing == TZeroing::All || (zeroing == TZeroing::Owning && owning);
        array->pvData = zero ? kernel::HeapAllocateZeroed(bytes) : kernel::HeapAllocate(bytes);
        if (!array->pvData) {
            FreeDescriptor(array);
            return nullptr;
        }
    }
    return array;
}

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
    return CreateArray(vt, dims, bounds, TZeroing::All);
}

SAFEARRAY* SafeArrayCreateForOverwrite(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
    return CreateArray(vt, dims, bounds, TZeroing::Owning);
}

SAFEARRAY* SafeArrayCreateToFill(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
    return CreateArray(vt, dims, bounds, TZeroing::None);
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements) {
    SAFEARRAYBOUND bound{elements, lowerBound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (!array) return S_OK;
    if (array->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    std::size_t bytes = 0;
    if (DataBytes(array, bytes) && array->cbElements)
        ReleaseElements(array, 0, bytes / array->cbElements, false);
    kernel::HeapFreeBlock(array->pvData);
    FreeDescriptor(array);
    return S_OK;
}

HRESULT SafeArrayCopy(const SAFEARRAY* source, SAFEARRAY** copy) {
    if (!source || !copy) return E_INVALIDARG;
    *copy = nullptr;
    SAFEARRAYBOUND bounds[64];
    SAFEARRAYBOUND* b = bounds;
    std::unique_ptr<SAFEARRAYBOUND[]> many;
    if (source->cDims > 64) {
        many.reset(new (std::nothrow) SAFEARRAYBOUND[source->cDims]);
        if (!many) return E_OUTOFMEMORY;
        b = many.get();
    }
    for (UINT dim = 1; dim <= source->cDims; ++dim)
        b[dim - 1] = SafeArrayBound(source, dim);
    SAFEARRAY* result = SafeArrayCreate(TypeOf(source), source->cDims, b);
    if (!result) return E_OUTOFMEMORY;
    std::size_t bytes = 0;
    DataBytes(source, bytes);
    const std::size_t count = source->cbElements ? bytes / source->cbElements : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char* from = static_cast<const char*>(source->pvData) + i * source->cbElements;
        char* to = static_cast<char*>(result->pvData) + i * result->cbElements;
        HRESULT hr;
        if (source->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH))
            hr = CopyElementIn(result, to, *reinterpret_cast<void* const*>(from));
        else
            hr = CopyElementIn(result, to, from);
        if (FAILED(hr)) {
            SafeArrayDestroy(result);
            return hr;
        }
    }
    *copy = result;
    return S_OK;
}

UINT SafeArrayGetDim(const SAFEARRAY* array) {
    return array ? array->cDims : 0;
}
UINT SafeArrayGetElemsize(const SAFEARRAY* array) {
    return array ? array->cbElements : 0;
}

HRESULT SafeArrayGetVartype(const SAFEARRAY* array, VARTYPE* vt) {
    if (!array || !vt) return E_INVALIDARG;
    *vt = TypeOf(array);
    return S_OK;
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* array, UINT dim, LONG* bound) {
    if (!array || !bound) return E_INVALIDARG;
    if (dim < 1 || dim > array->cDims) return DISP_E_BADINDEX;
    *bound = SafeArrayBound(array, dim).lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* array, UINT dim, LONG* bound) {
    if (!array || !bound) return E_INVALIDARG;
    if (dim < 1 || dim > array->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = SafeArrayBound(array, dim);
    *bound = static_cast<LONG>(static_cast<LONGLONG>(b.lLbound) + b.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayPtrOfIndex(const SAFEARRAY* array, const LONG* indices, void** element) {
    if (!array || !indices || !element) return E_INVALIDARG;
    std::size_t offset;
    if (!ElementOffset(array, indices, offset)) return DISP_E_BADINDEX;
    *element = static_cast<char*>(array->pvData) + offset * array->cbElements;
    return S_OK;
}

HRESULT SafeArrayGetElement(const SAFEARRAY* array, const LONG* indices, void* value) {
    if (!value) return E_INVALIDARG;
    void* element;
    if (HRESULT hr = SafeArrayPtrOfIndex(array, indices, &element); FAILED(hr)) return hr;
    return CopyElementOut(array, element, value);
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* indices, const void* value) {
    void* element;
    if (HRESULT hr = SafeArrayPtrOfIndex(array, indices, &element); FAILED(hr)) return hr;
    if (!value && !(array->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH)))
        return E_INVALIDARG;
    return CopyElementIn(array, element, value);
}

HRESULT SafeArrayLock(SAFEARRAY* array) {
    if (!array) return E_INVALIDARG;
    ++array->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* array) {
    if (!array) return E_INVALIDARG;
    if (array->cLocks == 0) return E_UNEXPECTED;
    --array->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
    if (!array || !data) return E_INVALIDARG;
    ++array->cLocks;
    *data = array->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
    return SafeArrayUnlock(array);
}

HRESULT SafeArrayRedim(SAFEARRAY* array, const SAFEARRAYBOUND* lastDimension) {
    if (!array || !lastDimension) return E_INVALIDARG;
    if (array->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    std::size_t oldBytes = 0;
    DataBytes(array, oldBytes);
    SAFEARRAYBOUND& last = array->rgsabound[0];
    const SAFEARRAYBOUND saved = last;
    last = *lastDimension;
    std::size_t newBytes = 0;
    if (!DataBytes(array, newBytes)) {
        last = saved;
        return E_OUTOFMEMORY;
    }
    if (newBytes < oldBytes)
        ReleaseElements(array, newBytes / array->cbElements,
                        (oldBytes - newBytes) / array->cbElements, true);
    if (newBytes == 0) {
        kernel::HeapFreeBlock(array->pvData);
        array->pvData = nullptr;
        return S_OK;
    }
    void* data = kernel::HeapReallocate(array->pvData, newBytes);
    if (!data) {
        last = saved;
        return E_OUTOFMEMORY;
    }
    if (newBytes > oldBytes)
        std::memset(static_cast<char*>(data) + oldBytes, 0, newBytes - oldBytes);
    array->pvData = data;
    return S_OK;
}

} // namespace quill::com
