#include "host/recording.h"

#include <charconv>
#include <cstddef>
#include <optional>

namespace quill::host {

namespace {

constexpr int EV_KEY_TYPE = 1;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// A cursor over one line: the grammar of both formats is a few tokens in a fixed order.
class TLineReader {
  public:
    explicit TLineReader(std::string_view line) : FRest(line) {}

    bool Literal(std::string_view text) {
        SkipSpaces();
        if (!StartsWith(FRest, text)) return false;
        FRest.remove_prefix(text.size());
        return true;
    }
    // Seconds with up to six decimals, as microseconds.
    std::optional<std::int64_t> Seconds() {
        SkipSpaces();
        std::int64_t whole = 0;
        const auto [end, ec] = std::from_chars(FRest.data(), FRest.data() + FRest.size(), whole);
        if (ec != std::errc() || whole < 0 || whole > 4'000'000'000'000) return std::nullopt;
        FRest.remove_prefix(static_cast<std::size_t>(end - FRest.data()));
        std::int64_t micro = 0;
        if (!FRest.empty() && FRest.front() == '.') {
            FRest.remove_prefix(1);
            int digits = 0;
            while (!FRest.empty() && FRest.front() >= '0' && FRest.front() <= '9') {
                if (digits < 6) micro = micro * 10 + (FRest.front() - '0');
                ++digits;
                FRest.remove_prefix(1);
            }
            if (digits == 0) return std::nullopt;
            for (; digits < 6; ++digits)
                micro *= 10;
        }
        return whole * 1'000'000 + micro;
    }
    std::optional<std::int64_t> Integer(int base) {
        SkipSpaces();
        std::int64_t value = 0;
        const auto [end, ec] =
            std::from_chars(FRest.data(), FRest.data() + FRest.size(), value, base);
        if (ec != std::errc() || end == FRest.data()) return std::nullopt;
        FRest.remove_prefix(static_cast<std::size_t>(end - FRest.data()));
        return value;
    }
    // "(NAME)" after a number; the name inside.
    std::optional<std::string_view> Parenthesised() {
        SkipSpaces();
        if (FRest.empty() || FRest.front() != '(') return std::nullopt;
        const std::size_t close = FRest.find(')');
        if (close == std::string_view::npos) return std::nullopt;
        const std::string_view inside = FRest.substr(1, close - 1);
        FRest.remove_prefix(close + 1);
        return inside;
    }
    // The next run of characters up to a space or tab.
    std::string_view Word() {
        SkipSpaces();
        std::size_t n = 0;
        while (n < FRest.size() && FRest[n] != ' ' && FRest[n] != '\t')
            ++n;
        const std::string_view word = FRest.substr(0, n);
        FRest.remove_prefix(n);
        return word;
    }
    std::string_view Rest() {
        SkipSpaces();
        return FRest;
    }

  private:
    void SkipSpaces() {
        while (!FRest.empty() && (FRest.front() == ' ' || FRest.front() == '\t'))
            FRest.remove_prefix(1);
    }
    std::string_view FRest;
};

bool InRange(std::int64_t value, std::int64_t low, std::int64_t high) {
    return value >= low && value <= high;
}

// "Event: time 1733600000.002000, type 1 (EV_KEY), code 30 (KEY_A), value 1", or the same time
// followed by a "---- SYN_REPORT ----" separator. An event of another type may print its value in
// hexadecimal (MSC_SCAN does), so only a key event's value must be a decimal number.
bool ParseEvtestEvent(std::string_view line, int number, std::vector<TKeyEvent>& events) {
    TLineReader reader(line);
    if (!reader.Literal("Event:") || !reader.Literal("time")) return false;
    const auto time = reader.Seconds();
    if (!time || !reader.Literal(",")) return false;
    if (StartsWith(reader.Rest(), "--")) return true; // a report separator
    if (!reader.Literal("type")) return false;
    const auto type = reader.Integer(10);
    if (!type || !InRange(*type, 0, 0x1F) || !reader.Parenthesised()) return false;
    if (!reader.Literal(",") || !reader.Literal("code")) return false;
    const auto code = reader.Integer(10);
    if (!code || !InRange(*code, 0, 0xFFFF)) return false;
    const auto name = reader.Parenthesised();
    if (!name || !reader.Literal(",") || !reader.Literal("value")) return false;
    if (*type != EV_KEY_TYPE) return !reader.Word().empty() && reader.Rest().empty();
    const auto value = reader.Integer(10);
    if (!value || !InRange(*value, INT32_MIN, INT32_MAX) || !reader.Rest().empty()) return false;
    events.push_back({*time, static_cast<std::uint16_t>(*code), static_cast<std::int32_t>(*value),
                      number, std::string(*name)});
    return true;
}

// "E: 0.001000 0001 001e 0001\t# EV_KEY / KEY_A  1": time, then type, code (hexadecimal) and
// value (decimal), then an optional comment that names the event.
bool ParseEvemuEvent(std::string_view line, int number, std::vector<TKeyEvent>& events) {
    std::string_view comment;
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) {
        comment = line.substr(hash + 1);
        line = line.substr(0, hash);
    }
    TLineReader reader(line);
    if (!reader.Literal("E:")) return false;
    const auto time = reader.Seconds();
    const auto type = reader.Integer(16);
    const auto code = reader.Integer(16);
    const auto value = reader.Integer(10);
    if (!time || !type || !code || !value || !reader.Rest().empty()) return false;
    if (!InRange(*type, 0, 0xFFFF) || !InRange(*code, 0, 0xFFFF) ||
        !InRange(*value, INT32_MIN, INT32_MAX))
        return false;
    if (*type != EV_KEY_TYPE) return true;
    std::string name;
    if (const std::size_t slash = comment.find('/'); slash != std::string_view::npos)
        name = std::string(TLineReader(comment.substr(slash + 1)).Word());
    events.push_back({*time, static_cast<std::uint16_t>(*code), static_cast<std::int32_t>(*value),
                      number, std::move(name)});
    return true;
}

// evemu-record's description lines: name, id, properties, bits, axes, LEDs, switches.
bool IsEvemuDescription(std::string_view line) {
    for (std::string_view tag : {"N:", "I:", "P:", "B:", "A:", "L:", "S:"})
        if (StartsWith(line, tag)) return true;
    return false;
}

std::optional<TRecordingFormat> DetectFormat(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = Trim(text.substr(start, end - start));
        if (StartsWith(line, "# EVEMU") || StartsWith(line, "E:")) return TRecordingFormat::Evemu;
        if (StartsWith(line, "Input driver version") || StartsWith(line, "Event: time"))
            return TRecordingFormat::Evtest;
        start = end + 1;
    }
    return std::nullopt;
}

TRecordingParse Failure(int line, std::string message) {
    TRecordingParse result;
    result.ErrorLine = line;
    result.Error = std::move(message);
    return result;
}

} // namespace

TRecordingParse ParseRecording(std::string_view text) {
    if (Trim(text).empty() || text.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return Failure(0, "the recording is empty");
    const auto format = DetectFormat(text);
    if (!format) return Failure(0, "not a recording of evtest or evemu-record");

    TRecordingParse result;
    result.Format = *format;
    // evtest prints a description of the device before its first event; from there on, every
    // line is an event.
    bool inEvents = false;
    int number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = Trim(text.substr(start, end - start));
        start = end + 1;
        ++number;
        if (line.empty()) continue;
        bool ok = true;
        if (*format == TRecordingFormat::Evtest) {
            if (StartsWith(line, "Event:")) inEvents = true;
            if (inEvents) ok = ParseEvtestEvent(line, number, result.Events);
        } else if (StartsWith(line, "E:")) {
            ok = ParseEvemuEvent(line, number, result.Events);
        } else {
            ok = line.front() == '#' || IsEvemuDescription(line);
        }
        if (!ok) return Failure(number, "malformed line: " + std::string(line.substr(0, 80)));
    }
    result.Ok = true;
    return result;
}

} // namespace quill::host
