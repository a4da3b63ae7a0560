#include "exchange/module/module_utils.h"

#include "platform/com/com_safearray.h"

#include <cstring>
#include <new>

namespace quill::exchange {

using namespace com;

OleVariant TextToByteArray(std::string_view text) {
    if (text.empty()) return OleVariant();
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(text.size() + 1));
    if (!array) throw std::bad_alloc();
    std::memcpy(array->pvData, text.data(), text.size());
    return OleVariant::FromArray(array, VT_UI1);
}

std::string ByteArrayToText(const VARIANT& value) {
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    SAFEARRAY* array = nullptr;
    if (v->vt == (VT_ARRAY | VT_UI1))
        array = v->parray;
    else if (v->vt == (VT_BYREF | VT_ARRAY | VT_UI1))
        array = *v->pparray;
    if (!array || SafeArrayGetDim(array) != 1 || array->cbElements != 1) return {};
    LONG lower = 0, upper = 0;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    if (upper <= 0) return {};
    // The high bound counts the bytes; never read past the elements the array has.
    const ULONGLONG available = SafeArrayElementCount(array);
    const ULONGLONG wanted = static_cast<ULONGLONG>(upper);
    const std::size_t n = static_cast<std::size_t>(wanted < available ? wanted : available);
    return std::string(static_cast<const char*>(array->pvData), n);
}

} // namespace quill::exchange
