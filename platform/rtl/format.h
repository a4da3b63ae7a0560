// Format: the run-time library's template formatter over Windows-1251 texts.
//
// Directives: "%%", and "%" [index ":"] ["-"] [width] ["." precision] type, with type one of
// d (integer), u (unsigned), x (hexadecimal), s (text), f, e, g, n (floating point). Arguments are
// taken in order (or by index). A directive whose argument is missing raises EConvertError
// "No argument for format '<template>'"; an argument of the wrong kind, or an unknown directive,
// raises EConvertError "Format '<template>' invalid or incompatible with argument". Formatting
// never reads past the argument list. Thread-safe.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace quill::rtl {

// One argument: a text (Windows-1251), an integer or a floating-point number.
class FormatArg {
  public:
    enum class Kind { Text, Integer, Float };
    FormatArg(std::string_view text) : FKind(Kind::Text), FText(text) {}
    FormatArg(const char* text) : FKind(Kind::Text), FText(text) {}
    FormatArg(const std::string& text) : FKind(Kind::Text), FText(text) {}
    FormatArg(int value) : FKind(Kind::Integer), FInteger(value) {}
    FormatArg(long value) : FKind(Kind::Integer), FInteger(value) {}
    FormatArg(long long value) : FKind(Kind::Integer), FInteger(value) {}
    FormatArg(unsigned value) : FKind(Kind::Integer), FInteger(value) {}
    FormatArg(double value) : FKind(Kind::Float), FFloat(value) {}

    Kind GetKind() const { return FKind; }
    const std::string& Text() const { return FText; }
    std::int64_t Integer() const { return FInteger; }
    double Float() const { return FFloat; }

  private:
    Kind FKind;
    std::string FText;
    std::int64_t FInteger = 0;
    double FFloat = 0;
};

using FormatArgs = std::vector<FormatArg>;

std::string Format(std::string_view pattern, const FormatArgs& args);

} // namespace quill::rtl
