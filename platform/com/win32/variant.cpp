// The VARIANT functions on Windows: the system's (oleaut32), so that a variant the host passes
// in or receives is cleared, copied and converted exactly as the host's own. Our VARIANT has the
// system's 32-bit layout, checked here field by field.
#include "platform/com/variant.h"

#include "platform/com/com_safearray.h"
#include "platform/com/dispatch.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/number_text.h"

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <string>

namespace quill::com {

static_assert(sizeof(VARIANT) == sizeof(::VARIANT) && sizeof(VARIANT) == 16);
static_assert(alignof(VARIANT) == alignof(::VARIANT));
static_assert(offsetof(VARIANT, vt) == offsetof(::VARIANT, vt));
static_assert(offsetof(VARIANT, wReserved1) == offsetof(::VARIANT, wReserved1));
static_assert(offsetof(VARIANT, wReserved3) == offsetof(::VARIANT, wReserved3));
static_assert(offsetof(VARIANT, llVal) == offsetof(::VARIANT, llVal) &&
              offsetof(VARIANT, llVal) == 8);
static_assert(offsetof(VARIANT, bstrVal) == offsetof(::VARIANT, bstrVal));
static_assert(offsetof(VARIANT, parray) == offsetof(::VARIANT, parray));
static_assert(offsetof(VARIANT, brecVal) == offsetof(::VARIANT, pvRecord));
static_assert(sizeof(CY) == sizeof(::CY) && sizeof(DATE) == sizeof(::DATE));
static_assert(sizeof(VARIANT_BOOL) == sizeof(::VARIANT_BOOL) && sizeof(SCODE) == sizeof(::SCODE));
static_assert(VARTYPE{VT_BSTR} == VARTYPE{::VT_BSTR} && VARTYPE{VT_ARRAY} == VARTYPE{::VT_ARRAY} &&
              VARTYPE{VT_BYREF} == VARTYPE{::VT_BYREF} && VARTYPE{VT_UINT} == VARTYPE{::VT_UINT} &&
              VARTYPE{VT_UI8} == VARTYPE{::VT_UI8});

namespace {

::VARIANT* System(VARIANT* v) {
    return reinterpret_cast<::VARIANT*>(v);
}
::VARIANT* System(const VARIANT* v) {
    return reinterpret_cast<::VARIANT*>(const_cast<VARIANT*>(v));
}

const VARIANT* Deref(const VARIANT* v) {
    while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    return v;
}

// Numbers with a fraction and dates are written and read as text in the process formats
// (kernel/format_settings.h: the library sets them when it starts), as the stand-in does; the
// system would use the user's locale instead, and a settings text written under one user's locale
// could not be read under another's. Every other conversion is the system's.
bool IsReal(VARTYPE vt) {
    return vt == VT_R4 || vt == VT_R8 || vt == VT_CY || vt == VT_DATE;
}
bool IsNumber(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
        return true;
    default:
        return IsReal(vt);
    }
}

HRESULT RealToText(VARIANT* dest, const VARIANT* value, VARTYPE from, bool byRef) {
    double number = 0;
    switch (from) {
    case VT_R4:
        number = byRef ? *value->pfltVal : value->fltVal;
        break;
    case VT_R8:
        number = byRef ? *value->pdblVal : value->dblVal;
        break;
    case VT_CY:
        number = static_cast<double>(byRef ? value->pcyVal->int64 : value->cyVal.int64) / 10000.0;
        break;
    default:
        number = byRef ? *value->pdate : value->date;
        break;
    }
    const std::string text =
        from == VT_DATE ? kernel::FormatDate(number) : kernel::FormatFloat(number);
    const BSTR result = BStrFromText(kernel::AnsiToWide(text));
    if (!result) return E_OUTOFMEMORY;
    VariantClear(dest);
    dest->vt = VT_BSTR;
    dest->bstrVal = result;
    return S_OK;
}

// The number that `text` spells, as a 64-bit integer when it is one, else as a double; a date
// for VT_DATE when the text is one. The system then takes it to the requested type.
HRESULT NumberFromText(const std::u16string& text, VARTYPE vt, OleVariant& number) {
    const std::string ansi = kernel::WideToAnsi(text);
    if (vt == VT_DATE) {
        if (const auto date = kernel::ParseDate(ansi)) {
            number = OleVariant::FromDate(*date);
            return S_OK;
        }
    }
    if (const auto integer = kernel::ParseInteger(ansi)) {
        number = OleVariant(static_cast<LONGLONG>(*integer));
        return S_OK;
    }
    if (const auto real = kernel::ParseFloat(ansi)) {
        number = OleVariant(*real);
        return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
}

} // namespace

// The system sets the tag only; the payload is zeroed as well, so that no stale bytes of an
// earlier value can travel on (a value written out whole, a narrower member read wide).
void VariantInit(VARIANT* v) {
    std::memset(static_cast<void*>(v), 0, sizeof(VARIANT));
    ::VariantInit(System(v));
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    return ::VariantClear(System(v));
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (dest == src) return S_OK;
    return ::VariantCopy(System(dest), System(src));
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    return ::VariantCopyInd(System(dest), System(src));
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, WORD flags, VARTYPE vt) {
    if (!dest || !src) return E_INVALIDARG;
    const VARIANT* value = Deref(src);
    const auto from = static_cast<VARTYPE>(value->vt & ~VT_BYREF);
    const bool byRef = (value->vt & VT_BYREF) != 0;
    try {
        if (vt == VT_BSTR && IsReal(from)) return RealToText(dest, value, from, byRef);
        if (from == VT_BSTR && IsNumber(vt)) {
            OleVariant number;
            const BSTR text = byRef ? *value->pbstrVal : value->bstrVal;
            if (HRESULT hr = NumberFromText(TextFromBStr(text), vt, number); FAILED(hr)) return hr;
            return ::VariantChangeType(System(dest), System(&number), flags, vt);
        }
    } catch (const std::bad_alloc&) { // the texts on the way
        return E_OUTOFMEMORY;
    }
    return ::VariantChangeType(System(dest), System(src), flags, vt);
}

} // namespace quill::com
