// VARIANT: the platform's tagged value, and OleVariant, the owning C++ wrapper the library uses.
//
// Layout follows the platform: a 16-bit type tag, three reserved words and an 8-byte payload (two
// pointers wide for record values), so 16 bytes with 32-bit pointers and 24 bytes with 64-bit
// pointers. A VARIANT owns what it holds (a BSTR, an interface reference, a SAFEARRAY) unless it is
// a by-reference variant (VT_BYREF), which points at storage that belongs to someone else.
//
// Errors are HRESULTs as on the platform: DISP_E_TYPEMISMATCH for a conversion that has no meaning,
// DISP_E_OVERFLOW for a value out of range, DISP_E_BADVARTYPE for an unknown tag. Functions are
// thread-safe on distinct variants.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/unknown.h"

#include <string>
#include <string_view>

namespace quill::com {

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

// Flags of VariantChangeType.
constexpr WORD VARIANT_NOVALUEPROP = 0x01;
constexpr WORD VARIANT_ALPHABOOL = 0x02;

// Currency: a 64-bit integer scaled by 10000.
struct CY {
    LONGLONG int64;
};

class IDispatch;
struct SAFEARRAY;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        LONGLONG* pllVal;
        FLOAT* pfltVal;
        DOUBLE* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        CY* pcyVal;
        DATE* pdate;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
        VARIANT* pvarVal;
        void* byref;
        CHAR cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        CHAR* pcVal;
        USHORT* puiVal;
        ULONG* pulVal;
        ULONGLONG* pullVal;
        INT* pintVal;
        UINT* puintVal;
        struct {
            void* pvRecord;
            void* pRecInfo;
        } brecVal;
    };
};
using VARIANTARG = VARIANT;

static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void*), "VARIANT is 16 bytes (ILP32) or 24 (LP64)");

void VariantInit(VARIANT* v);
// Frees what `v` owns and leaves it VT_EMPTY. By-reference variants free nothing.
HRESULT VariantClear(VARIANT* v);
// `dest` is cleared, then receives a deep copy of `src` (BSTRs and arrays copied, interfaces
// AddRef'ed). By-reference variants are copied as references.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// Like VariantCopy, but a by-reference `src` is dereferenced into a by-value copy.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src);
// Converts `src` to type `vt` into `dest` (which may equal `src`). On failure `dest` is unchanged.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, WORD flags, VARTYPE vt);

// Size of one stored value of a scalar type, 0 for a type that has no fixed size.
std::size_t VarTypeSize(VARTYPE vt);

// The owning wrapper. It is layout-compatible with VARIANT (it *is* one), so an array of
// OleVariant can serve where the platform expects an array of VARIANT.
class OleVariant : public VARIANT {
  public:
    OleVariant() { VariantInit(this); }
    OleVariant(const OleVariant& other);
    OleVariant(OleVariant&& other) noexcept;
    // Copies (deeply) the given VARIANT.
    explicit OleVariant(const VARIANT& other);
    OleVariant(int value);
    OleVariant(LONGLONG value);
    OleVariant(double value);
    OleVariant(bool value);
    OleVariant(std::u16string_view text);
    OleVariant(const char16_t* text) : OleVariant(std::u16string_view(text)) {}
    // An interface value: VT_DISPATCH for a dispatch reference, otherwise VT_UNKNOWN.
    OleVariant(IDispatch* object);
    OleVariant(IUnknown* object);
    ~OleVariant() { VariantClear(this); }

    OleVariant& operator=(const OleVariant& other);
    OleVariant& operator=(OleVariant&& other) noexcept;

    static OleVariant FromShort(SHORT value);
    static OleVariant FromByte(BYTE value);
    static OleVariant FromCurrency(LONGLONG scaled);
    static OleVariant FromDate(DATE value);
    static OleVariant Error(SCODE code);
    static OleVariant Null();
    // Takes ownership of `array` (VT_ARRAY | vt).
    static OleVariant FromArray(SAFEARRAY* array, VARTYPE elementType);
    // Takes ownership of the raw VARIANT contents, leaving `raw` empty.
    static OleVariant Adopt(VARIANT& raw);

    VARTYPE Type() const { return vt; }
    bool IsEmpty() const { return vt == VT_EMPTY; }
    void Clear() { VariantClear(this); }
    // Hands the contents to the caller as a raw VARIANT and leaves this empty.
    VARIANT Detach();
};

} // namespace quill::com
