// COM base types: the fixed-width integer names, HRESULT and its codes, GUID.
//
// On Linux this stands in for the Windows COM headers. Names follow the platform so that the
// library reads like its description; sizes are those of the platform (LONG and ULONG are 32
// bits). Everything here is a plain value type and is safe to use from any thread.
//
// On Windows the same names have the system's values and sizes. A file of the Windows side that
// also includes the system's headers includes ours first: the system's headers define S_OK,
// FAILED, the DISP_E_ codes and more as macros, which would break our declarations of the same
// names if they came first (after them, they expand to the same values).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Calling conventions. Interface methods, exported functions and callbacks that the system or the
// host calls must use the convention the other side compiles with: on 32-bit Windows that is
// stdcall for all three, so that our interfaces have the same method tables as the system's and
// the host's. Elsewhere there is only one convention and the names are empty. The definitions are
// those of the system's headers, guarded so that either may come first; because the system's
// headers define the companion names only in the same guarded block, they are defined here too.
#if defined(_WIN32)
#ifndef WINAPI
#define WINAPI __stdcall
#endif
#ifndef CALLBACK
#define CALLBACK __stdcall
#endif
#ifndef STDMETHODCALLTYPE
#define STDMETHODCALLTYPE WINAPI
#define STDMETHODVCALLTYPE __cdecl
#define STDAPICALLTYPE WINAPI
#define STDAPIVCALLTYPE __cdecl
#define STDAPI EXTERN_C HRESULT STDAPICALLTYPE
#define STDAPI_(type) EXTERN_C type STDAPICALLTYPE
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define STDAPIV EXTERN_C HRESULT STDAPIVCALLTYPE
#define STDAPIV_(type) EXTERN_C type STDAPIVCALLTYPE
#define STDMETHODIMPV HRESULT STDMETHODVCALLTYPE
#define STDMETHODIMPV_(type) type STDMETHODVCALLTYPE
#endif
#else
#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE
#endif

// A function that a module exports to its loader. On Windows the module definition file names the
// exports (undecorated, though stdcall); elsewhere the symbol is made visible here and the
// module's version script hides everything else.
#if defined(_WIN32)
#define QUILL_EXPORT extern "C"
#else
#define QUILL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace quill::com {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using INT = std::int32_t;
using UINT = std::uint32_t;
using CHAR = std::int8_t;
using FLOAT = float;
using DOUBLE = double;
using DATE = double;
using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using OLECHAR = char16_t;
using DISPID = std::int32_t;
using LCID = std::uint32_t;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr HRESULT MakeHResult(std::uint32_t value) {
    return static_cast<HRESULT>(value);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002u);
constexpr HRESULT E_POINTER = MakeHResult(0x80004003u);
constexpr HRESULT E_FAIL = MakeHResult(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057u);
constexpr HRESULT CO_E_CLASSSTRING = MakeHResult(0x800401F3u);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154u);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110u);
constexpr HRESULT MK_E_UNAVAILABLE = MakeHResult(0x800401E3u);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHResult(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHResult(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHResult(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHResult(0x80020006u);
constexpr HRESULT DISP_E_BADVARTYPE = MakeHResult(0x80020008u);
constexpr HRESULT DISP_E_EXCEPTION = MakeHResult(0x80020009u);
constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000Au);
constexpr HRESULT DISP_E_BADINDEX = MakeHResult(0x8002000Bu);
constexpr HRESULT DISP_E_ARRAYISLOCKED = MakeHResult(0x8002000Du);
constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHResult(0x8002000Eu);

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

// A 16-byte globally unique identifier in the platform's memory layout.
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];

    friend constexpr bool operator==(const GUID& a, const GUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i]) return false;
        return true;
    }
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using REFCLSID = const GUID&;

constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace [[gnu::visibility("hidden")]] detail {
constexpr std::uint32_t HexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<std::uint32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
    throw "not a hexadecimal digit"; // only reachable at compile time with a bad literal
}
constexpr std::uint32_t HexValue(std::string_view s, std::size_t from, std::size_t digits) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < digits; ++i)
        v = v * 16 + HexDigit(s[from + i]);
    return v;
}
} // namespace gnu::visibility("hidden")]]detail

// Builds a GUID at compile time from its 36-character text "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX".
consteval GUID MakeGuid(std::string_view s) {
    if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-')
        throw "malformed GUID literal";
    GUID g{};
    g.Data1 = detail::HexValue(s, 0, 8);
    g.Data2 = static_cast<std::uint16_t>(detail::HexValue(s, 9, 4));
    g.Data3 = static_cast<std::uint16_t>(detail::HexValue(s, 14, 4));
    g.Data4[0] = static_cast<std::uint8_t>(detail::HexValue(s, 19, 2));
    g.Data4[1] = static_cast<std::uint8_t>(detail::HexValue(s, 21, 2));
    for (int i = 0; i < 6; ++i)
        g.Data4[2 + i] = static_cast<std::uint8_t>(detail::HexValue(s, 24 + 2 * i, 2));
    return g;
}

constexpr bool IsEqualGUID(const GUID& a, const GUID& b) {
    return a == b;
}

// A hash of the 16 bytes, for GUID-keyed tables.
struct GuidHash {
    std::size_t operator()(const GUID& g) const noexcept {
        std::uint64_t h = (std::uint64_t{g.Data1} << 32) ^ (std::uint64_t{g.Data2} << 16) ^ g.Data3;
        for (int i = 0; i < 8; ++i)
            h = (h ^ g.Data4[i]) * 0x100000001B3ull;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

} // namespace quill::com
