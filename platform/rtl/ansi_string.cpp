#include "platform/rtl/ansi_string.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace quill::rtl {

struct AnsiString::Buffer {
    std::atomic<std::int32_t> refs;
    std::uint32_t length;
    char text[1];
};

AnsiString::AnsiString(std::string_view text) {
    if (text.empty()) return;
    if (text.size() > 0x7FFFFFF0u) throw std::bad_alloc();
    void* memory = std::malloc(offsetof(Buffer, text) + text.size() + 1);
    if (!memory) throw std::bad_alloc();
    FData = new (memory) Buffer{{1}, static_cast<std::uint32_t>(text.size()), {0}};
    std::memcpy(FData->text, text.data(), text.size());
    FData->text[text.size()] = 0;
}

AnsiString::AnsiString(const AnsiString& other) : FData(other.FData) {
    if (FData) FData->refs.fetch_add(1, std::memory_order_relaxed);
}

AnsiString& AnsiString::operator=(const AnsiString& other) {
    if (other.FData) other.FData->refs.fetch_add(1, std::memory_order_relaxed);
    Release();
    FData = other.FData;
    return *this;
}

AnsiString& AnsiString::operator=(AnsiString&& other) noexcept {
    if (this != &other) {
        Release();
        FData = other.FData;
        other.FData = nullptr;
    }
    return *this;
}

std::string_view AnsiString::View() const {
    return FData ? std::string_view(FData->text, FData->length) : std::string_view();
}

void AnsiString::Release() {
    if (FData && FData->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        FData->~Buffer();
        std::free(FData);
    }
    FData = nullptr;
}

} // namespace quill::rtl
