// AnsiString: a reference-counted 8-bit text that is one pointer wide.
//
// Records shared with the host keep texts in a single pointer-sized slot (the empty text is a nil
// pointer), and the text is allocated by the run-time that both modules share, so either side may
// replace or free it. Copies share the buffer; the count changes atomically, so copies may be
// released on any thread; one AnsiString object itself is not synchronised.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace quill::rtl {

class AnsiString {
  public:
    AnsiString() = default;
    AnsiString(std::string_view text);
    AnsiString(const char* text) : AnsiString(std::string_view(text)) {}
    AnsiString(const std::string& text) : AnsiString(std::string_view(text)) {}
    AnsiString(const AnsiString& other);
    AnsiString(AnsiString&& other) noexcept : FData(other.FData) { other.FData = nullptr; }
    AnsiString& operator=(const AnsiString& other);
    AnsiString& operator=(AnsiString&& other) noexcept;
    ~AnsiString() { Release(); }

    std::string_view View() const;
    std::string Str() const { return std::string(View()); }
    std::size_t Length() const { return View().size(); }
    bool Empty() const { return FData == nullptr; }
    operator std::string_view() const { return View(); }

    friend bool operator==(const AnsiString& a, std::string_view b) { return a.View() == b; }

  private:
    struct Buffer;
    void Release();
    Buffer* FData = nullptr;
};

static_assert(sizeof(AnsiString) == sizeof(void*));

} // namespace quill::rtl
