// The library's conveniences over the BSTR functions: built the same on every system, whichever
// allocator the BSTR functions use.
#include "platform/com/bstr.h"

#include <limits>
#include <utility>

namespace quill::com {

bool SysReAllocString(BSTR* target, const OLECHAR* text) {
    if (!target) return false;
    BSTR copy = text ? SysAllocString(text) : nullptr;
    if (text && !copy) return false;
    SysFreeString(*target);
    *target = copy;
    return true;
}

BSTR BStrFromText(std::u16string_view text) {
    if (text.size() > std::numeric_limits<UINT>::max() / sizeof(OLECHAR)) return nullptr;
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::u16string TextFromBStr(BSTR text) {
    if (!text) return {};
    return std::u16string(text, SysStringLen(text));
}

BStr& BStr::operator=(BStr&& other) noexcept {
    if (this != &other) {
        SysFreeString(FText);
        FText = other.Detach();
    }
    return *this;
}

BSTR* BStr::ReleaseAndGetAddressOf() {
    SysFreeString(std::exchange(FText, nullptr));
    return &FText;
}

BSTR BStr::Detach() {
    return std::exchange(FText, nullptr);
}

} // namespace quill::com
