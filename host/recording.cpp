#include "host/recording.h"

#include <climits>
#include <cstddef>
#include <cstring>
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

// The prefixes are literals: with their length known here the comparison is a few instructions
// rather than a library call, which matters at two or three lines per key event.
template <std::size_t N> bool StartsWith(std::string_view s, const char (&prefix)[N]) {
    constexpr std::size_t n = N - 1;
    return s.size() >= n && std::memcmp(s.data(), prefix, n) == 0;
}

int DigitValue(char c, int base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16) {
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    }
    return -1;
}

// A cursor over one line: the grammar of both formats is a few tokens in a fixed order.
class TLineReader {
  public:
    explicit TLineReader(std::string_view line) : FRest(line) {}

    template <std::size_t N> bool Literal(const char (&text)[N]) {
        SkipSpaces();
        if (!StartsWith(FRest, text)) return false;
        FRest.remove_prefix(N - 1);
        return true;
    }
    // Seconds with up to six decimals, as microseconds; no sign.
    std::optional<std::int64_t> Seconds() {
        SkipSpaces();
        std::int64_t whole = 0;
        std::size_t i = 0;
        for (; i < FRest.size() && FRest[i] >= '0' && FRest[i] <= '9'; ++i) {
            whole = whole * 10 + (FRest[i] - '0');
            if (whole > 4'000'000'000'000) return std::nullopt;
        }
        if (i == 0) return std::nullopt;
        FRest.remove_prefix(i);
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
    // An optionally negative integer in `Base` (10 or 16); none when it has no digit or does not
    // fit in 64 bits.
    template <int Base> std::optional<std::int64_t> Integer() {
        SkipSpaces();
        std::size_t i = 0;
        const bool negative = i < FRest.size() && FRest[i] == '-';
        if (negative) ++i;
        const std::size_t first = i;
        // Accumulated negatively, so that the most negative value fits as well.
        std::int64_t value = 0;
        for (int digit; i < FRest.size() && (digit = DigitValue(FRest[i], Base)) >= 0; ++i)
            if (__builtin_mul_overflow(value, Base, &value) ||
                __builtin_sub_overflow(value, digit, &value))
                return std::nullopt;
        if (i == first) return std::nullopt;
        if (!negative) {
            if (value == INT64_MIN) return std::nullopt;
            value = -value;
        }
        FRest.remove_prefix(i);
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

// evtest prints every event of a report with the same time, so most lines repeat the time of the
// line before: what a time text says is worked out once, when it first comes.
class TEvtestTimes {
  public:
    // Seconds as both formats write them: 1 to 13 digits, optionally a point and 1 to 13 more.
    bool Valid(std::string_view text) { return Judge(text).Valid; }
    // The time as microseconds (TLineReader::Seconds, with nothing after it); none when it is
    // malformed.
    std::optional<std::int64_t> Microseconds(std::string_view text) { return Judge(text).Time; }

  private:
    struct TJudgement {
        bool Valid = false;
        std::optional<std::int64_t> Time;
    };
    const TJudgement& Judge(std::string_view text) {
        if (FKnown && text == FText) return FJudgement;
        FJudgement = {};
        // One pass for the common form, digits with an optional fraction: both answers at once.
        auto digit = [&](std::size_t i) { return text[i] >= '0' && text[i] <= '9'; };
        std::int64_t whole = 0, micro = 0;
        std::size_t i = 0;
        for (; i < text.size() && digit(i); ++i)
            if (i < 13) whole = whole * 10 + (text[i] - '0');
        const std::size_t wholeDigits = i;
        const bool point = i < text.size() && text[i] == '.';
        std::size_t fractionDigits = 0;
        if (point)
            for (++i; i < text.size() && digit(i); ++i, ++fractionDigits)
                if (fractionDigits < 6) micro = micro * 10 + (text[i] - '0');
        const bool plain = i == text.size();
        const bool shaped = plain && wholeDigits >= 1 && (!point || fractionDigits >= 1);
        FJudgement.Valid = shaped && wholeDigits <= 13 && fractionDigits <= 13;
        if (shaped && wholeDigits <= 13) {
            for (std::size_t d = fractionDigits; d < 6; ++d)
                micro *= 10;
            if (whole <= 4'000'000'000'000) FJudgement.Time = whole * 1'000'000 + micro;
        } else {
            // Spaces around the time, which only a key event allows, or many leading zeros.
            TLineReader reader(text);
            const auto time = reader.Seconds();
            if (time && reader.Rest().empty()) FJudgement.Time = time;
        }
        FText = text;
        FKnown = true;
        return FJudgement;
    }

    bool FKnown = false;
    std::string_view FText;
    TJudgement FJudgement;
};

// The fields of an evtest event line after its time.
struct TEvtestFields {
    std::int64_t Type = 0;
    std::int64_t Code = 0;
    std::string_view Name;  // of the code
    std::string_view Value; // the text after "value", without its leading spaces
};

// Takes `literal` at `at` in `text`.
template <std::size_t N>
bool Take(std::string_view text, std::size_t& at, const char (&literal)[N]) {
    if (!StartsWith(text.substr(at), literal)) return false;
    at += N - 1;
    return true;
}

// The fields exactly as evtest prints them: " type T (NAME), code C (NAME), value V", with single
// spaces and unsigned numbers of at most nine digits. False when the text differs in any way: the
// general reader then judges it. Nearly every line of a recording is read here, at a fraction of
// the general reader's cost, and with the same result.
bool ReadPrintedFields(std::string_view text, TEvtestFields& fields) {
    std::size_t at = 0;
    // Digits beyond the ninth are not accumulated: a hostile line may carry any number of them,
    // and such a line is the general reader's to judge anyway.
    auto number = [&](std::int64_t& value) {
        const std::size_t first = at;
        value = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
            if (at - first < 9) value = value * 10 + (text[at] - '0');
        return at > first && at - first <= 9;
    };
    auto name = [&](std::string_view& inside) {
        const std::size_t close = text.find(')', at);
        if (close == std::string_view::npos) return false;
        inside = text.substr(at, close - at);
        at = close + 1;
        return true;
    };
    std::string_view typeName;
    if (!Take(text, at, " type ") || !number(fields.Type) || !Take(text, at, " (") ||
        !name(typeName) || !Take(text, at, ", code ") || !number(fields.Code) ||
        !Take(text, at, " (") || !name(fields.Name) || !Take(text, at, ", value "))
        return false;
    fields.Value = text.substr(at);
    return !fields.Value.empty() && fields.Value.front() != ' ' && fields.Value.front() != '\t';
}

// The same fields with any spacing and signed numbers; false when the text is no event.
bool ReadFields(std::string_view text, TEvtestFields& fields) {
    TLineReader reader(text);
    if (!reader.Literal("type")) return false;
    const auto type = reader.Integer<10>();
    if (!type || !reader.Parenthesised()) return false;
    if (!reader.Literal(",") || !reader.Literal("code")) return false;
    const auto code = reader.Integer<10>();
    const auto name = reader.Parenthesised();
    if (!code || !name || !reader.Literal(",") || !reader.Literal("value")) return false;
    fields.Type = *type;
    fields.Code = *code;
    fields.Name = *name;
    fields.Value = reader.Rest();
    return true;
}

// "Event: time 1733600000.002000, type 1 (EV_KEY), code 30 (KEY_A), value 1", or the same time
// followed by a "---- SYN_REPORT ----" separator. An event of another type may print its value in
// hexadecimal (MSC_SCAN does), so only a key event's value must be a decimal number.
bool ParseEvtestEvent(std::string_view line, std::int64_t number, TEvtestTimes& times,
                      std::vector<TKeyEvent>& events) {
    constexpr char head[] = "Event: time ";
    constexpr std::size_t headSize = sizeof head - 1;
    if (!StartsWith(line, head)) return false;
    const std::size_t comma = line.find(',', headSize);
    if (comma == std::string_view::npos) return false;
    const std::string_view timeText = line.substr(headSize, comma - headSize);
    const std::string_view rest = line.substr(comma + 1);
    // Most lines are report separators and scan codes: they are checked for their shape only.
    if (StartsWith(TLineReader(rest).Rest(), "--")) return times.Valid(timeText);
    TEvtestFields fields;
    if (!ReadPrintedFields(rest, fields) && !ReadFields(rest, fields)) return false;
    if (!InRange(fields.Type, 0, 0x1F) || !InRange(fields.Code, 0, 0xFFFF)) return false;
    if (fields.Type != EV_KEY_TYPE)
        return times.Valid(timeText) && !fields.Value.empty() &&
               fields.Value.find_first_of(" \t") == std::string_view::npos;
    const auto time = times.Microseconds(timeText);
    TLineReader valueReader(fields.Value);
    const auto value = valueReader.Integer<10>();
    if (!time || !value || !InRange(*value, INT32_MIN, INT32_MAX) || !valueReader.Rest().empty())
        return false;
    events.push_back({*time, static_cast<std::uint16_t>(fields.Code),
                      static_cast<std::int32_t>(*value), number, std::string(fields.Name)});
    return true;
}

// "E: 0.001000 0001 001e 0001\t# EV_KEY / KEY_A  1": time, then type, code (hexadecimal) and
// value (decimal), then an optional comment that names the event.
bool ParseEvemuEvent(std::string_view line, std::int64_t number, std::vector<TKeyEvent>& events) {
    std::string_view comment;
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) {
        comment = line.substr(hash + 1);
        line = line.substr(0, hash);
    }
    TLineReader reader(line);
    if (!reader.Literal("E:")) return false;
    const auto time = reader.Seconds();
    const auto type = reader.Integer<16>();
    const auto code = reader.Integer<16>();
    const auto value = reader.Integer<10>();
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
    if (line.size() < 2 || line[1] != ':') return false;
    const char tag = line[0];
    return tag == 'N' || tag == 'I' || tag == 'P' || tag == 'B' || tag == 'A' || tag == 'L' ||
           tag == 'S';
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

TRecordingParse Failure(std::int64_t line, std::string message) {
    TRecordingParse result;
    result.ErrorLine = line;
    result.Error = std::move(message);
    return result;
}

} // namespace

TRecordingParse ParseRecording(std::string_view text, std::int64_t firstLine) {
    if (Trim(text).empty() || text.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return Failure(0, "the recording is empty");
    const auto format = DetectFormat(text);
    if (!format) return Failure(0, "not a recording of evtest or evemu-record");

    TRecordingParse result;
    result.Format = *format;
    result.Events.reserve(text.size() / 160); // a key event takes two or three lines
    // evtest prints a description of the device before its first event; from there on, every
    // line is an event.
    bool inEvents = false;
    TEvtestTimes times;
    std::int64_t number = firstLine - 1;
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
            if (inEvents) {
                ok = ParseEvtestEvent(line, number, times, result.Events);
                ++result.EventLines;
            }
        } else if (StartsWith(line, "E:")) {
            ok = ParseEvemuEvent(line, number, result.Events);
            ++result.EventLines;
        } else {
            ok = line.front() == '#' || IsEvemuDescription(line);
        }
        if (!ok) return Failure(number, "malformed line: " + std::string(line.substr(0, 80)));
    }
    result.Lines = number - (firstLine - 1);
    result.Ok = true;
    return result;
}

} // namespace quill::host
