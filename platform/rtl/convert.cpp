#include "platform/rtl/convert.h"

#include "platform/com/bstr.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/number_text.h"

#include <limits>

namespace quill::rtl {

using namespace com;

EVariantError::~EVariantError() = default;

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
    auto v = kernel::ParseInteger(text);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() ||
        *v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

std::int32_t StrToInt(std::string_view text) {
    if (auto v = TryStrToInt(text)) return *v;
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

std::optional<double> TryStrToFloat(std::string_view text) {
    return kernel::ParseFloat(text);
}

double StrToFloat(std::string_view text) {
    if (auto v = TryStrToFloat(text)) return *v;
    throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

std::string IntToStr(std::int64_t value) {
    return std::to_string(value);
}
std::string FloatToStr(double value) {
    return kernel::FormatFloat(value);
}

std::string VarTypeName(VARTYPE vt) {
    if (vt & VT_ARRAY) return "Array " + VarTypeName(static_cast<VARTYPE>(vt & VT_TYPEMASK));
    switch (vt & VT_TYPEMASK) {
    case VT_EMPTY:
        return "Empty";
    case VT_NULL:
        return "Null";
    case VT_I2:
        return "Smallint";
    case VT_I4:
        return "Integer";
    case VT_R4:
        return "Single";
    case VT_R8:
        return "Double";
    case VT_CY:
        return "Currency";
    case VT_DATE:
        return "Date";
    case VT_BSTR:
        return "OleStr";
    case VT_DISPATCH:
        return "Dispatch";
    case VT_ERROR:
        return "Error";
    case VT_BOOL:
        return "Boolean";
    case VT_VARIANT:
        return "Variant";
    case VT_UNKNOWN:
        return "Unknown";
    case VT_DECIMAL:
        return "Decimal";
    case VT_I1:
        return "ShortInt";
    case VT_UI1:
        return "Byte";
    case VT_UI2:
        return "Word";
    case VT_UI4:
        return "LongWord";
    case VT_I8:
        return "Int64";
    case VT_UI8:
        return "UInt64";
    default:
        return "Unknown";
    }
}

OleVariant VarAsType(const VARIANT& value, VARTYPE vt) {
    OleVariant out;
    const HRESULT hr = VariantChangeType(&out, &value, VARIANT_ALPHABOOL, vt);
    if (FAILED(hr)) {
        const VARTYPE from = static_cast<VARTYPE>(value.vt & ~VT_BYREF);
        if (hr == DISP_E_OVERFLOW)
            throw EVariantError("Overflow while converting variant of type (" + VarTypeName(from) +
                                ") into type (" + VarTypeName(vt) + ")");
        throw EVariantError("Could not convert variant of type (" + VarTypeName(from) +
                            ") into type (" + VarTypeName(vt) + ")");
    }
    return out;
}

std::u16string VarToWide(const VARIANT& value) {
    const VARTYPE base = static_cast<VARTYPE>(value.vt & ~VT_BYREF);
    if (base == VT_NULL || base == VT_EMPTY) return {};
    if (value.vt == VT_BSTR) return TextFromBStr(value.bstrVal);
    OleVariant text = VarAsType(value, VT_BSTR);
    return TextFromBStr(text.bstrVal);
}

std::string VarToStr(const VARIANT& value) {
    return kernel::WideToAnsi(VarToWide(value));
}

std::int32_t VarToInt(const VARIANT& value) {
    if (value.vt == VT_I4) return value.lVal;
    const VARTYPE base = static_cast<VARTYPE>(value.vt & ~VT_BYREF);
    if (base == VT_EMPTY) return 0;
    if (base == VT_BSTR) {
        // Texts convert as the run-time library reads numbers, "1,5" included.
        const std::string text = VarToStr(value);
        if (auto i = TryStrToInt(text)) return *i;
    }
    return VarAsType(value, VT_I4).lVal;
}

double VarToDouble(const VARIANT& value) {
    if (value.vt == VT_R8) return value.dblVal;
    const VARTYPE base = static_cast<VARTYPE>(value.vt & ~VT_BYREF);
    if (base == VT_EMPTY) return 0;
    return VarAsType(value, VT_R8).dblVal;
}

bool VarToBool(const VARIANT& value) {
    if (value.vt == VT_BOOL) return value.boolVal != 0;
    return VarAsType(value, VT_BOOL).boolVal != 0;
}

bool WriteThroughReference(VARIANT& slot, const VARIANT& value) {
    if (!(slot.vt & VT_BYREF) || !slot.byref) return false;
    switch (slot.vt & ~VT_BYREF) {
    case VT_VARIANT: {
        OleVariant copy(value);
        VariantClear(slot.pvarVal);
        *slot.pvarVal = copy.Detach();
        return true;
    }
    case VT_I4:
        *slot.plVal = VarToInt(value);
        return true;
    case VT_R8:
        *slot.pdblVal = VarToDouble(value);
        return true;
    case VT_BSTR: {
        BSTR text = BStrFromText(VarToWide(value));
        SysFreeString(*slot.pbstrVal);
        *slot.pbstrVal = text;
        return true;
    }
    default:
        return false;
    }
}

} // namespace quill::rtl
