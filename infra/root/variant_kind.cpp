#include "infra/root/variant_kind.h"

#include "platform/rtl/collection.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format.h"

#include <cmath>

namespace quill::infra {

namespace {

// The numeric value of a double or currency variant, by value or by reference.
double NumberOf(const com::VARIANT& value) {
    const bool byRef = (value.vt & com::VT_BYREF) != 0;
    switch (value.vt & ~com::VT_BYREF) {
    case com::VT_R8:
        return byRef ? (value.pdblVal ? *value.pdblVal : 0.0) : value.dblVal;
    case com::VT_CY: {
        const com::LONGLONG scaled =
            byRef ? (value.pcyVal ? value.pcyVal->int64 : 0) : value.cyVal.int64;
        return static_cast<double>(scaled) / 10000.0;
    }
    default:
        return 0.0;
    }
}

void CheckSpan(std::size_t size, int high) {
    if (high >= 0 && static_cast<std::size_t>(high) >= size)
        throw rtl::EListError(rtl::Format("List index out of bounds (%d)", {high}));
}

void Check(com::HRESULT hr, const char* operation) {
    if (com::FAILED(hr)) throw rtl::EOleSysError(operation, hr);
}

} // namespace

const com::VARIANT& Deref(const com::VARIANT& value) {
    return value.vt == (com::VT_BYREF | com::VT_VARIANT) && value.pvarVal ? *value.pvarVal : value;
}

com::VARTYPE DerefType(const com::VARIANT& value) {
    return Deref(value).vt & ~com::VT_BYREF;
}

bool IsText(const com::VARIANT& value) {
    return DerefType(value) == com::VT_BSTR;
}

bool IsObject(const com::VARIANT& value) {
    return DerefType(value) == com::VT_DISPATCH;
}

com::VARTYPE VariantBaseType(const com::VARIANT& value) {
    const com::VARTYPE type = value.vt & ~com::VT_BYREF;
    return type == com::VT_CY ? com::VARTYPE(com::VT_R8) : type;
}

com::VARTYPE VariantKind(const com::VARIANT& value) {
    const com::VARTYPE type = VariantBaseType(value);
    if (type != com::VT_R8) return type;
    // nearbyint rounds half to even under the default rounding mode; NaN and infinities stay
    // doubles because their difference is NaN.
    const double number = NumberOf(value);
    return std::fabs(number - std::nearbyint(number)) < 1e-9 ? com::VARTYPE(com::VT_I4) : type;
}

bool VariantKindIn(const com::VARIANT& value, std::initializer_list<com::VARTYPE> kinds) {
    const com::VARTYPE kind = VariantKind(value);
    for (const com::VARTYPE k : kinds)
        if (k == kind) return true;
    return false;
}

void ArrayToValues(const com::SAFEARRAY* array, std::span<com::OleVariant> values, int high) {
    CheckSpan(values.size(), high);
    com::VARTYPE type = com::VT_EMPTY;
    if (high >= 0) Check(com::SafeArrayGetVartype(array, &type), "SafeArrayGetVartype");
    for (int i = 0; i <= high; ++i) {
        com::OleVariant& target = values[static_cast<std::size_t>(i)];
        target.Clear();
        const com::LONG index = i;
        com::VARIANT element;
        com::VariantInit(&element);
        if (type == com::VT_VARIANT) {
            Check(com::SafeArrayGetElement(array, &index, &element), "SafeArrayGetElement");
        } else {
            // Scalars, texts and interfaces all sit at the start of the payload.
            Check(com::SafeArrayGetElement(array, &index, &element.llVal), "SafeArrayGetElement");
            element.vt = type;
        }
        target = com::OleVariant::Adopt(element);
    }
}

void ValuesToArray(com::SAFEARRAY* array, std::span<const com::OleVariant> values, int high) {
    CheckSpan(values.size(), high);
    com::VARTYPE type = com::VT_EMPTY;
    if (high >= 0) Check(com::SafeArrayGetVartype(array, &type), "SafeArrayGetVartype");
    for (int i = 0; i <= high; ++i) {
        const com::OleVariant& source = values[static_cast<std::size_t>(i)];
        const com::LONG index = i;
        if (type == com::VT_VARIANT) {
            Check(com::SafeArrayPutElement(array, &index, &source), "SafeArrayPutElement");
            continue;
        }
        com::OleVariant converted;
        Check(com::VariantChangeType(&converted, &source, 0, type), "VariantChangeType");
        const void* payload = &converted.llVal;
        // Text and interface arrays take the pointer itself, as the platform's call does.
        if (type == com::VT_BSTR)
            payload = converted.bstrVal;
        else if (type == com::VT_UNKNOWN || type == com::VT_DISPATCH)
            payload = converted.punkVal;
        Check(com::SafeArrayPutElement(array, &index, payload), "SafeArrayPutElement");
    }
}

} // namespace quill::infra
