#include "platform/com/variant.h"

#include "platform/com/com_safearray.h"
#include "platform/com/dispatch.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/number_text.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

namespace quill::com {

namespace {

// A scalar value reduced to one of a few shapes, the meeting point of every conversion.
struct Scalar {
    enum Kind {
        Empty,
        Null,
        Signed,
        Unsigned,
        Float,
        Currency,
        Date,
        Bool,
        Text,
        Error,
        Object
    } kind;
    LONGLONG i = 0;
    ULONGLONG u = 0;
    double f = 0;
    bool b = false;
    std::u16string text;
    IUnknown* object = nullptr; // borrowed
    bool isDispatch = false;
};

const VARIANT* Deref(const VARIANT* v) {
    while (v->vt == (VT_BYREF | VT_VARIANT))
        v = v->pvarVal;
    return v;
}

// Reads the (possibly by-reference) scalar in `v`; false for arrays and unsupported tags.
bool ReadScalar(const VARIANT* v, Scalar& s) {
    v = Deref(v);
    const bool byRef = (v->vt & VT_BYREF) != 0;
    const VARTYPE base = static_cast<VARTYPE>(v->vt & ~VT_BYREF);
    if (base & VT_ARRAY) return false;
    auto get = [&](auto byValue, auto* byPointer) { return byRef ? *byPointer : byValue; };
    switch (base) {
    case VT_EMPTY:
        s.kind = Scalar::Empty;
        return !byRef;
    case VT_NULL:
        s.kind = Scalar::Null;
        return !byRef;
    case VT_I1:
        s.kind = Scalar::Signed;
        s.i = get(v->cVal, v->pcVal);
        return true;
    case VT_I2:
        s.kind = Scalar::Signed;
        s.i = get(v->iVal, v->piVal);
        return true;
    case VT_I4:
        s.kind = Scalar::Signed;
        s.i = get(v->lVal, v->plVal);
        return true;
    case VT_INT:
        s.kind = Scalar::Signed;
        s.i = get(v->intVal, v->pintVal);
        return true;
    case VT_I8:
        s.kind = Scalar::Signed;
        s.i = get(v->llVal, v->pllVal);
        return true;
    case VT_UI1:
        s.kind = Scalar::Unsigned;
        s.u = get(v->bVal, v->pbVal);
        return true;
    case VT_UI2:
        s.kind = Scalar::Unsigned;
        s.u = get(v->uiVal, v->puiVal);
        return true;
    case VT_UI4:
        s.kind = Scalar::Unsigned;
        s.u = get(v->ulVal, v->pulVal);
        return true;
    case VT_UINT:
        s.kind = Scalar::Unsigned;
        s.u = get(v->uintVal, v->puintVal);
        return true;
    case VT_UI8:
        s.kind = Scalar::Unsigned;
        s.u = get(v->ullVal, v->pullVal);
        return true;
    case VT_R4:
        s.kind = Scalar::Float;
        s.f = get(v->fltVal, v->pfltVal);
        return true;
    case VT_R8:
        s.kind = Scalar::Float;
        s.f = get(v->dblVal, v->pdblVal);
        return true;
    case VT_CY:
        s.kind = Scalar::Currency;
        s.i = byRef ? v->pcyVal->int64 : v->cyVal.int64;
        return true;
    case VT_DATE:
        s.kind = Scalar::Date;
        s.f = get(v->date, v->pdate);
        return true;
    case VT_BOOL:
        s.kind = Scalar::Bool;
        s.b = get(v->boolVal, v->pboolVal) != 0;
        return true;
    case VT_ERROR:
        s.kind = Scalar::Error;
        s.i = get(v->scode, v->pscode);
        return true;
    case VT_BSTR:
        s.kind = Scalar::Text;
        s.text = TextFromBStr(get(v->bstrVal, v->pbstrVal));
        return true;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        s.kind = Scalar::Object;
        s.isDispatch = base == VT_DISPATCH;
        s.object =
            byRef ? (base == VT_DISPATCH ? static_cast<IUnknown*>(*v->ppdispVal) : *v->ppunkVal)
                  : (base == VT_DISPATCH ? static_cast<IUnknown*>(v->pdispVal) : v->punkVal);
        return true;
    default:
        return false;
    }
}

// Rounds half to even, as the platform's conversions to integer types do.
double RoundHalfEven(double x) {
    const double r = std::nearbyint(x); // default rounding mode is to nearest, ties to even
    return r;
}

HRESULT ToDouble(const Scalar& s, double& out) {
    switch (s.kind) {
    case Scalar::Empty:
        out = 0;
        return S_OK;
    case Scalar::Signed:
        out = static_cast<double>(s.i);
        return S_OK;
    case Scalar::Unsigned:
        out = static_cast<double>(s.u);
        return S_OK;
    case Scalar::Float:
    case Scalar::Date:
        out = s.f;
        return S_OK;
    case Scalar::Currency:
        out = static_cast<double>(s.i) / 10000.0;
        return S_OK;
    case Scalar::Bool:
        out = s.b ? -1.0 : 0.0;
        return S_OK;
    case Scalar::Text: {
        const std::string ansi = kernel::WideToAnsi(s.text);
        if (auto v = kernel::ParseFloat(ansi)) {
            out = *v;
            return S_OK;
        }
        if (auto v = kernel::ParseInteger(ansi)) {
            out = static_cast<double>(*v);
            return S_OK;
        }
        return DISP_E_TYPEMISMATCH;
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT ToSigned(const Scalar& s, LONGLONG lo, LONGLONG hi, LONGLONG& out) {
    if (s.kind == Scalar::Signed || s.kind == Scalar::Error) {
        if (s.i < lo || s.i > hi) return DISP_E_OVERFLOW;
        out = s.i;
        return S_OK;
    }
    if (s.kind == Scalar::Unsigned) {
        if (s.u > static_cast<ULONGLONG>(hi)) return DISP_E_OVERFLOW;
        out = static_cast<LONGLONG>(s.u);
        return S_OK;
    }
    if (s.kind == Scalar::Bool) {
        out = s.b ? -1 : 0;
        return out < lo ? DISP_E_OVERFLOW : S_OK;
    }
    if (s.kind == Scalar::Text) {
        if (auto v = kernel::ParseInteger(kernel::WideToAnsi(s.text))) {
            if (*v < lo || *v > hi) return DISP_E_OVERFLOW;
            out = *v;
            return S_OK;
        }
    }
    double d;
    if (HRESULT hr = ToDouble(s, d); FAILED(hr)) return hr;
    if (s.kind == Scalar::Currency) d = static_cast<double>(s.i) / 10000.0;
    d = RoundHalfEven(d);
    if (std::isnan(d) || d < static_cast<double>(lo) || d > static_cast<double>(hi))
        return DISP_E_OVERFLOW;
    out = static_cast<LONGLONG>(d);
    return S_OK;
}

HRESULT ToUnsigned(const Scalar& s, ULONGLONG hi, ULONGLONG& out) {
    if (s.kind == Scalar::Unsigned) {
        if (s.u > hi) return DISP_E_OVERFLOW;
        out = s.u;
        return S_OK;
    }
    LONGLONG v;
    if (HRESULT hr = ToSigned(s, std::numeric_limits<LONGLONG>::min(),
                              std::numeric_limits<LONGLONG>::max(), v);
        FAILED(hr))
        return hr;
    if (v < 0 || static_cast<ULONGLONG>(v) > hi) return DISP_E_OVERFLOW;
    out = static_cast<ULONGLONG>(v);
    return S_OK;
}

HRESULT ToText(const Scalar& s, WORD flags, std::u16string& out) {
    switch (s.kind) {
    case Scalar::Empty:
        out.clear();
        return S_OK;
    case Scalar::Signed:
        out = kernel::AnsiToWide(std::to_string(s.i));
        return S_OK;
    case Scalar::Unsigned:
        out = kernel::AnsiToWide(std::to_string(s.u));
        return S_OK;
    case Scalar::Float:
        out = kernel::AnsiToWide(kernel::FormatFloat(s.f));
        return S_OK;
    case Scalar::Currency:
        out = kernel::AnsiToWide(kernel::FormatFloat(static_cast<double>(s.i) / 10000.0));
        return S_OK;
    case Scalar::Date:
        out = kernel::AnsiToWide(kernel::FormatDate(s.f));
        return S_OK;
    case Scalar::Bool:
        if (flags & VARIANT_ALPHABOOL)
            out = s.b ? u"True" : u"False";
        else
            out = s.b ? u"-1" : u"0";
        return S_OK;
    case Scalar::Text:
        out = s.text;
        return S_OK;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT ToBool(const Scalar& s, bool& out) {
    if (s.kind == Scalar::Bool) {
        out = s.b;
        return S_OK;
    }
    if (s.kind == Scalar::Text) {
        if (kernel::WideSameText(s.text, u"True")) {
            out = true;
            return S_OK;
        }
        if (kernel::WideSameText(s.text, u"False")) {
            out = false;
            return S_OK;
        }
    }
    double d;
    if (HRESULT hr = ToDouble(s, d); FAILED(hr)) return hr;
    out = d != 0;
    return S_OK;
}

// Reads the value property of a dispatch object (the platform converts objects this way).
HRESULT ValueOfObject(const Scalar& s, Scalar& value) {
    if (!s.isDispatch || !s.object) return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    OleVariant result;
    HRESULT hr = static_cast<IDispatch*>(s.object)->Invoke(
        DISPID_VALUE, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    // The value is copied out of `result` before it is destroyed.
    static thread_local int depth = 0;
    if (depth > 8) return DISP_E_TYPEMISMATCH;
    ++depth;
    const bool ok = ReadScalar(&result, value) && value.kind != Scalar::Object;
    --depth;
    if (!ok) return DISP_E_TYPEMISMATCH;
    value.object = nullptr;
    return S_OK;
}

// The integer types: the value rounded half to even, DISP_E_OVERFLOW outside the type's range.
HRESULT ConvertInteger(const Scalar& source, VARTYPE vt, VARIANT& out) {
    LONGLONG i = 0;
    ULONGLONG u = 0;
    HRESULT hr = S_OK;
    switch (vt) {
    case VT_I1:
        hr = ToSigned(source, INT8_MIN, INT8_MAX, i);
        out.cVal = static_cast<CHAR>(i);
        break;
    case VT_I2:
        hr = ToSigned(source, INT16_MIN, INT16_MAX, i);
        out.iVal = static_cast<SHORT>(i);
        break;
    case VT_I4:
        hr = ToSigned(source, INT32_MIN, INT32_MAX, i);
        out.lVal = static_cast<LONG>(i);
        break;
    case VT_INT:
        hr = ToSigned(source, INT32_MIN, INT32_MAX, i);
        out.intVal = static_cast<INT>(i);
        break;
    case VT_I8:
        hr = ToSigned(source, INT64_MIN, INT64_MAX, i);
        out.llVal = i;
        break;
    case VT_UI1:
        hr = ToUnsigned(source, UINT8_MAX, u);
        out.bVal = static_cast<BYTE>(u);
        break;
    case VT_UI2:
        hr = ToUnsigned(source, UINT16_MAX, u);
        out.uiVal = static_cast<USHORT>(u);
        break;
    case VT_UI4:
        hr = ToUnsigned(source, UINT32_MAX, u);
        out.ulVal = static_cast<ULONG>(u);
        break;
    case VT_UINT:
        hr = ToUnsigned(source, UINT32_MAX, u);
        out.uintVal = static_cast<UINT>(u);
        break;
    case VT_UI8:
        hr = ToUnsigned(source, UINT64_MAX, u);
        out.ullVal = u;
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    return hr;
}

// The floating types, currency and dates; a text converts to a date by the date format first.
HRESULT ConvertReal(const Scalar& source, VARTYPE vt, VARIANT& out) {
    double d = 0;
    HRESULT hr = S_OK;
    switch (vt) {
    case VT_R4:
        hr = ToDouble(source, d);
        if (SUCCEEDED(hr) && std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max())
            hr = DISP_E_OVERFLOW;
        out.fltVal = static_cast<float>(d);
        break;
    case VT_R8:
        hr = ToDouble(source, d);
        out.dblVal = d;
        break;
    case VT_CY:
        if (source.kind == Scalar::Currency) {
            out.cyVal.int64 = source.i;
            break;
        }
        hr = ToDouble(source, d);
        if (SUCCEEDED(hr)) {
            d = RoundHalfEven(d * 10000.0);
            if (!(std::fabs(d) < 9.2e18)) hr = DISP_E_OVERFLOW;
            out.cyVal.int64 = static_cast<LONGLONG>(d);
        }
        break;
    case VT_DATE:
        if (source.kind == Scalar::Text) {
            if (auto date = kernel::ParseDate(kernel::WideToAnsi(source.text))) {
                out.date = *date;
                break;
            }
        }
        hr = ToDouble(source, d);
        out.date = d;
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    return hr;
}

HRESULT ConvertText(const Scalar& source, WORD flags, VARIANT& out) {
    if (source.kind == Scalar::Null) return DISP_E_TYPEMISMATCH;
    std::u16string text;
    const HRESULT hr = ToText(source, flags, text);
    if (FAILED(hr)) return hr;
    out.bstrVal = BStrFromText(text);
    return !out.bstrVal && !text.empty() ? E_OUTOFMEMORY : S_OK;
}

// VT_UNKNOWN or VT_DISPATCH from an object, by asking it for that interface; sets out.vt itself.
HRESULT ConvertInterface(const Scalar& source, VARTYPE vt, VARIANT& out) {
    if (source.kind != Scalar::Object) return DISP_E_TYPEMISMATCH;
    if (!source.object) {
        out.vt = vt;
        out.punkVal = nullptr;
        return S_OK;
    }
    void* p = nullptr;
    const HRESULT hr =
        source.object->QueryInterface(vt == VT_DISPATCH ? IDispatch::Guid : IUnknown::Guid, &p);
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    out.vt = vt;
    out.punkVal = static_cast<IUnknown*>(p);
    return S_OK;
}

HRESULT Convert(const Scalar& source, WORD flags, VARTYPE vt, VARIANT& out) {
    if (source.kind == Scalar::Object && vt != VT_UNKNOWN && vt != VT_DISPATCH && vt != VT_EMPTY) {
        Scalar value;
        if (HRESULT hr = ValueOfObject(source, value); FAILED(hr)) return hr;
        return Convert(value, flags, vt, out);
    }
    if (source.kind == Scalar::Null && vt != VT_NULL && vt != VT_EMPTY && vt != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    if (source.kind == Scalar::Error && vt != VT_ERROR && vt != VT_I4) return DISP_E_TYPEMISMATCH;
    VariantInit(&out);
    HRESULT hr = S_OK;
    switch (vt) {
    case VT_EMPTY:
        return S_OK;
    case VT_NULL:
        out.vt = VT_NULL;
        return S_OK;
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_I8:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UINT:
    case VT_UI8:
        hr = ConvertInteger(source, vt, out);
        break;
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        hr = ConvertReal(source, vt, out);
        break;
    case VT_BOOL: {
        bool b = false;
        hr = ToBool(source, b);
        out.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    }
    case VT_ERROR:
        if (source.kind != Scalar::Error && source.kind != Scalar::Signed)
            return DISP_E_TYPEMISMATCH;
        out.scode = static_cast<SCODE>(source.i);
        break;
    case VT_BSTR:
        hr = ConvertText(source, flags, out);
        break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return ConvertInterface(source, vt, out);
    default:
        return DISP_E_BADVARTYPE;
    }
    if (FAILED(hr)) return hr;
    out.vt = vt;
    return S_OK;
}

} // namespace

void VariantInit(VARIANT* v) {
    std::memset(static_cast<void*>(v), 0, sizeof(VARIANT));
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            if (v->parray) {
                if (HRESULT hr = SafeArrayDestroy(v->parray); FAILED(hr)) return hr;
            }
        } else {
            switch (v->vt) {
            case VT_BSTR:
                SysFreeString(v->bstrVal);
                break;
            case VT_UNKNOWN:
                if (v->punkVal) v->punkVal->Release();
                break;
            case VT_DISPATCH:
                if (v->pdispVal) v->pdispVal->Release();
                break;
            default:
                break;
            }
        }
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (dest == src) return S_OK;
    VARIANT copy;
    std::memcpy(static_cast<void*>(&copy), src, sizeof(VARIANT));
    if (!(src->vt & VT_BYREF)) {
        if (src->vt & VT_ARRAY) {
            copy.parray = nullptr;
            if (src->parray) {
                if (HRESULT hr = SafeArrayCopy(src->parray, &copy.parray); FAILED(hr)) return hr;
            }
        } else {
            switch (src->vt) {
            case VT_BSTR:
                copy.bstrVal = src->bstrVal
                                   ? SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal))
                                   : nullptr;
                if (src->bstrVal && !copy.bstrVal) return E_OUTOFMEMORY;
                break;
            case VT_UNKNOWN:
                if (copy.punkVal) copy.punkVal->AddRef();
                break;
            case VT_DISPATCH:
                if (copy.pdispVal) copy.pdispVal->AddRef();
                break;
            default:
                break;
            }
        }
    }
    VariantClear(dest);
    std::memcpy(static_cast<void*>(dest), &copy, sizeof(VARIANT));
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    const VARIANT* s = Deref(src);
    if (!(s->vt & VT_BYREF)) {
        if (dest == src) return S_OK;
        return VariantCopy(dest, s);
    }
    VARIANT value;
    VariantInit(&value);
    const VARTYPE base = static_cast<VARTYPE>(s->vt & ~VT_BYREF);
    value.vt = base;
    if (base & VT_ARRAY) {
        value.parray = nullptr;
        if (*s->pparray) {
            if (HRESULT hr = SafeArrayCopy(*s->pparray, &value.parray); FAILED(hr)) return hr;
        }
    } else {
        switch (base) {
        case VT_BSTR: {
            BSTR b = *s->pbstrVal;
            value.bstrVal = b ? SysAllocStringLen(b, SysStringLen(b)) : nullptr;
            if (b && !value.bstrVal) return E_OUTOFMEMORY;
            break;
        }
        case VT_UNKNOWN:
            value.punkVal = *s->ppunkVal;
            if (value.punkVal) value.punkVal->AddRef();
            break;
        case VT_DISPATCH:
            value.pdispVal = *s->ppdispVal;
            if (value.pdispVal) value.pdispVal->AddRef();
            break;
        case VT_DECIMAL:
            return DISP_E_BADVARTYPE;
        default: {
            const std::size_t size = VarTypeSize(base);
            if (size == 0) return DISP_E_BADVARTYPE;
            std::memcpy(&value.llVal, s->byref, size);
        }
        }
    }
    VariantClear(dest);
    std::memcpy(static_cast<void*>(dest), &value, sizeof(VARIANT));
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, WORD flags, VARTYPE vt) {
    if (!dest || !src) return E_INVALIDARG;
    const VARIANT* s = Deref(src);
    if (vt & (VT_ARRAY | VT_BYREF)) {
        if (s->vt != vt) return DISP_E_TYPEMISMATCH;
        if (dest == src) return S_OK;
        return VariantCopy(dest, s);
    }
    Scalar scalar;
    if (!ReadScalar(s, scalar)) return (s->vt & VT_ARRAY) ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
    VARIANT out;
    if (HRESULT hr = Convert(scalar, flags, vt, out); FAILED(hr)) return hr;
    VariantClear(dest);
    std::memcpy(static_cast<void*>(dest), &out, sizeof(VARIANT));
    return S_OK;
}

} // namespace quill::com
