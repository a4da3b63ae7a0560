#include "platform/com/bstr.h"

#include "platform/com/bstr_layout.h"
#include "platform/kernel/heap.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace quill::com {

namespace {

using namespace bstr_layout;

constexpr std::size_t kPrefix = kTextHeader;

// Allocates room for `bytes` payload bytes plus the prefix (a home word of 0: a block of its own)
// and the terminator.
BSTR AllocateBytes(std::size_t bytes) {
    if (bytes > std::numeric_limits<std::uint32_t>::max() - 16) return nullptr;
    auto* block = static_cast<char*>(kernel::HeapAllocate(kPrefix + bytes + kTerminator));
    if (!block) return nullptr;
    const std::uint32_t home = 0;
    const auto length = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &home, 4);
    std::memcpy(block + kLengthWord, &length, kLengthWord);
    std::memset(block + kPrefix + bytes, 0, kTerminator);
    return reinterpret_cast<BSTR>(block + kPrefix);
}

std::size_t Length(const OLECHAR* text) {
    std::size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

} // namespace

BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(Length(text)));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    BSTR result = AllocateBytes(std::size_t{length} * sizeof(OLECHAR));
    if (!result) return nullptr;
    if (text)
        std::memcpy(result, text, std::size_t{length} * sizeof(OLECHAR));
    else
        std::memset(result, 0, std::size_t{length} * sizeof(OLECHAR));
    return result;
}

BSTR SysAllocStringByteLen(const char* bytes, UINT length) {
    BSTR result = AllocateBytes(length);
    if (!result) return nullptr;
    if (bytes)
        std::memcpy(result, bytes, length);
    else
        std::memset(result, 0, length);
    return result;
}

void SysFreeString(BSTR text) {
    if (!text) return;
    if (IsBlockText(text)) {
        TTextBlock* block = BlockOf(text);
        ForgetBlockText(text);
        ReleaseTextBlock(block, 1);
        return;
    }
    kernel::HeapFreeBlock(reinterpret_cast<char*>(text) - kPrefix);
}

UINT SysStringByteLen(BSTR text) {
    return text ? LengthWord(text) : 0;
}

UINT SysStringLen(BSTR text) {
    return SysStringByteLen(text) / sizeof(OLECHAR);
}

} // namespace quill::com
