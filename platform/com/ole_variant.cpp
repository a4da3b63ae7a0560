// OleVariant and VarTypeSize: the library's own part of variant.h, built the same on every system
// over the VARIANT functions (the system's or the stand-in's).
#include "platform/com/variant.h"

#include "platform/com/dispatch.h"

#include <cstring>

namespace quill::com {

std::size_t VarTypeSize(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return sizeof(void*);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

// ---- OleVariant ----

OleVariant::OleVariant(const OleVariant& other) : OleVariant() {
    VariantCopy(this, &other);
}
OleVariant::OleVariant(OleVariant&& other) noexcept : OleVariant() {
    std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&other), sizeof(VARIANT));
    VariantInit(&other);
}
OleVariant::OleVariant(const VARIANT& other) : OleVariant() {
    VariantCopy(this, &other);
}
OleVariant::OleVariant(int value) : OleVariant() {
    vt = VT_I4;
    lVal = value;
}
OleVariant::OleVariant(LONGLONG value) : OleVariant() {
    vt = VT_I8;
    llVal = value;
}
OleVariant::OleVariant(double value) : OleVariant() {
    vt = VT_R8;
    dblVal = value;
}
OleVariant::OleVariant(bool value) : OleVariant() {
    vt = VT_BOOL;
    boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}
OleVariant::OleVariant(std::u16string_view text) : OleVariant() {
    vt = VT_BSTR;
    bstrVal = BStrFromText(text);
}
OleVariant::OleVariant(IDispatch* object) : OleVariant() {
    vt = VT_DISPATCH;
    pdispVal = object;
    if (object) object->AddRef();
}
OleVariant::OleVariant(IUnknown* object) : OleVariant() {
    vt = VT_UNKNOWN;
    punkVal = object;
    if (object) object->AddRef();
}

OleVariant& OleVariant::operator=(const OleVariant& other) {
    if (this != &other) VariantCopy(this, &other);
    return *this;
}
OleVariant& OleVariant::operator=(OleVariant&& other) noexcept {
    if (this != &other) {
        VariantClear(this);
        std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&other), sizeof(VARIANT));
        VariantInit(&other);
    }
    return *this;
}

OleVariant OleVariant::FromShort(SHORT value) {
    OleVariant v;
    v.vt = VT_I2;
    v.iVal = value;
    return v;
}
OleVariant OleVariant::FromByte(BYTE value) {
    OleVariant v;
    v.vt = VT_UI1;
    v.bVal = value;
    return v;
}
OleVariant OleVariant::FromCurrency(LONGLONG scaled) {
    OleVariant v;
    v.vt = VT_CY;
    v.cyVal.int64 = scaled;
    return v;
}
OleVariant OleVariant::FromDate(DATE value) {
    OleVariant v;
    v.vt = VT_DATE;
    v.date = value;
    return v;
}
OleVariant OleVariant::Error(SCODE code) {
    OleVariant v;
    v.vt = VT_ERROR;
    v.scode = code;
    return v;
}
OleVariant OleVariant::Null() {
    OleVariant v;
    v.vt = VT_NULL;
    return v;
}
OleVariant OleVariant::FromArray(SAFEARRAY* array, VARTYPE elementType) {
    OleVariant v;
    v.vt = static_cast<VARTYPE>(VT_ARRAY | elementType);
    v.parray = array;
    return v;
}
OleVariant OleVariant::Adopt(VARIANT& raw) {
    OleVariant v;
    std::memcpy(static_cast<VARIANT*>(&v), &raw, sizeof(VARIANT));
    VariantInit(&raw);
    return v;
}

VARIANT OleVariant::Detach() {
    VARIANT raw;
    std::memcpy(static_cast<void*>(&raw), static_cast<VARIANT*>(this), sizeof(VARIANT));
    VariantInit(this);
    return raw;
}

} // namespace quill::com
