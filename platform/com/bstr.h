// BSTR: length-prefixed, zero-terminated UTF-16 text with one allocator per process.
//
// A BSTR points at its first character; the 32-bit byte length lies in the four bytes before it.
// The host and the library allocate and free BSTRs through this one allocator (on Linux it lives
// in the shared run-time, on Windows it is the system's), so either side may free what the other
// allocated. A nil BSTR is the empty
// text. Texts come from one heap block each, or many from a shared block (bstr_arena.h); every
// function here takes both alike. All functions are thread-safe.
#pragma once

#include "platform/com/com_types.h"

#include <string>
#include <string_view>

namespace quill::com {

using BSTR = OLECHAR*;

// Returns nil when `text` is nil or memory is exhausted.
BSTR SysAllocString(const OLECHAR* text);
// `length` characters copied from `text` (or left zero when `text` is nil).
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
// A BSTR holding `bytes` raw bytes (odd sizes allowed), as the platform allows.
BSTR SysAllocStringByteLen(const char* bytes, UINT length);
// Replaces *target with a copy of `text`; false when memory is exhausted (then *target is kept).
bool SysReAllocString(BSTR* target, const OLECHAR* text);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

// Conveniences for the library: copy into and out of std::u16string.
BSTR BStrFromText(std::u16string_view text);
std::u16string TextFromBStr(BSTR text);

// Owns one BSTR; frees it on destruction.
class BStr {
  public:
    BStr() = default;
    explicit BStr(std::u16string_view text) : FText(BStrFromText(text)) {}
    BStr(const BStr&) = delete;
    BStr& operator=(const BStr&) = delete;
    BStr(BStr&& other) noexcept : FText(other.Detach()) {}
    BStr& operator=(BStr&& other) noexcept;
    ~BStr() { SysFreeString(FText); }

    BSTR Get() const { return FText; }
    BSTR* ReleaseAndGetAddressOf();
    BSTR Detach();
    std::u16string Text() const { return TextFromBStr(FText); }

  private:
    BSTR FText = nullptr;
};

} // namespace quill::com
