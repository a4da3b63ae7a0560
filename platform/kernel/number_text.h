// Locale-independent conversions between numbers and text.
//
// Parsing accepts surrounding blanks, an optional sign, and either "." or the process decimal
// separator; it never consults the C locale. Formatting writes the process decimal separator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill::kernel {

// A decimal integer (optionally "$"/"0x" hexadecimal, as the run-time library accepts), or nothing.
std::optional<std::int64_t> ParseInteger(std::string_view text);
// A decimal floating-point number with optional exponent, or nothing.
std::optional<double> ParseFloat(std::string_view text);
// The same, written with the process decimal separator only: where the process separates with
// "," a text with "." is no number. For checks that must refuse what the process would misread.
std::optional<double> ParseFloatInProcessFormat(std::string_view text);
// Up to 15 significant digits, shortest form, process decimal separator ("1,5", "2", "1E20").
std::string FormatFloat(double value);

// Days since 1899-12-30 with the time of day as fraction, from and to the process date formats.
std::string FormatDate(double date);
// The date value of a civil date and a time of day in seconds.
double EncodeDate(int year, unsigned month, unsigned day, double secondsOfDay);
std::optional<double> ParseDate(std::string_view text);

} // namespace quill::kernel
