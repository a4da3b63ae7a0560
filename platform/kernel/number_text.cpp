#include "platform/kernel/number_text.h"

#include "platform/kernel/format_settings.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quill::kernel {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Civil date to day number (days since 1970-01-01), Howard Hinnant's algorithm.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

constexpr std::int64_t kEpochOffset = 25569; // days from 1899-12-30 to 1970-01-01

} // namespace

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (negative) {
        if (magnitude > std::uint64_t{1} << 63) return std::nullopt;
        return static_cast<std::int64_t>(0 - magnitude);
    }
    if (magnitude > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<std::int64_t>(magnitude);
}

std::optional<double> ParseFloat(std::string_view text) {
    text = Trim(text);
    if (text.empty()) return std::nullopt;
    std::string copy(text);
    const char separator = ProcessFormatSettings().DecimalSeparator;
    for (char& c : copy)
        if (c == separator) c = '.';
    const char* begin = copy.data();
    if (*begin == '+') ++begin;
    double value = 0;
    auto [end, ec] = std::from_chars(begin, copy.data() + copy.size(), value);
    if (ec != std::errc() || end != copy.data() + copy.size()) return std::nullopt;
    return value;
}

std::optional<double> ParseFloatInProcessFormat(std::string_view text) {
    if (ProcessFormatSettings().DecimalSeparator != '.' && text.find('.') != text.npos)
        return std::nullopt;
    return ParseFloat(text);
}

std::string FormatFloat(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    std::string text(buffer);
    // "%G" writes exponents as E+20 / E-05; the platform writes E20 / E-5.
    if (auto e = text.find('E'); e != std::string::npos) {
        std::string mantissa = text.substr(0, e);
        std::string exponent = text.substr(e + 1);
        const bool negative = !exponent.empty() && exponent[0] == '-';
        if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) exponent.erase(0, 1);
        while (exponent.size() > 1 && exponent[0] == '0')
            exponent.erase(0, 1);
        text = mantissa + "E" + (negative ? "-" : "") + exponent;
    }
    const char separator = ProcessFormatSettings().DecimalSeparator;
    for (char& c : text)
        if (c == '.') c = separator;
    return text;
}

std::string FormatDate(double date) {
    const double dayPart = std::floor(date);
    double fraction = std::fabs(date - dayPart);
    std::int64_t y;
    unsigned m, d;
    CivilFromDays(static_cast<std::int64_t>(dayPart) - kEpochOffset, y, m, d);
    long seconds = std::lround(fraction * 86400.0);
    const auto& fs = ProcessFormatSettings();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02u%c%02u%c%04lld", d, fs.DateSeparator, m,
                  fs.DateSeparator, static_cast<long long>(y));
    std::string text(buffer);
    if (seconds != 0) {
        std::snprintf(buffer, sizeof buffer, " %ld%c%02ld%c%02ld", seconds / 3600, fs.TimeSeparator,
                      (seconds / 60) % 60, fs.TimeSeparator, seconds % 60);
        text += buffer;
    }
    return text;
}

double EncodeDate(int year, unsigned month, unsigned day, double secondsOfDay) {
    return static_cast<double>(DaysFromCivil(year, month, day) + kEpochOffset) +
           secondsOfDay / 86400.0;
}

std::optional<double> ParseDate(std::string_view text) {
    text = Trim(text);
    const auto& fs = ProcessFormatSettings();
    auto isDateSep = [&](char c) {
        return c == fs.DateSeparator || c == '.' || c == '/' || c == '-';
    };
    std::size_t pos = 0;
    auto number = [&](int& out) {
        std::size_t start = pos;
        out = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 4)
            out = out * 10 + (text[pos++] - '0');
        return pos > start;
    };
    int day, month, year;
    if (!number(day) || pos >= text.size() || !isDateSep(text[pos++])) return std::nullopt;
    if (!number(month) || pos >= text.size() || !isDateSep(text[pos++])) return std::nullopt;
    if (!number(year)) return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    double result = static_cast<double>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
        kEpochOffset);
    if (pos < text.size()) {
        if (text[pos++] != ' ') return std::nullopt;
        int h = 0, mi = 0, s = 0;
        if (!number(h)) return std::nullopt;
        if (pos < text.size() && text[pos] == fs.TimeSeparator) {
            ++pos;
            if (!number(mi)) return std::nullopt;
            if (pos < text.size() && text[pos] == fs.TimeSeparator) {
                ++pos;
                if (!number(s)) return std::nullopt;
            }
        }
        if (pos != text.size() || h > 23 || mi > 59 || s > 59) return std::nullopt;
        result += (h * 3600 + mi * 60 + s) / 86400.0;
    }
    return result;
}

} // namespace quill::kernel
