#include "platform/rtl/format.h"

#include "platform/kernel/format_settings.h"
#include "platform/rtl/exception.h"

#include <cstdio>

namespace quill::rtl {

namespace {

[[noreturn]] void Invalid(std::string_view pattern) {
    throw EConvertError("Format '" + std::string(pattern) +
                        "' invalid or incompatible with argument");
}

[[noreturn]] void Missing(std::string_view pattern) {
    throw EConvertError("No argument for format '" + std::string(pattern) + "'");
}

std::string Pad(std::string text, int width, bool left) {
    if (width > 0 && static_cast<int>(text.size()) < width) {
        const std::string fill(static_cast<std::size_t>(width) - text.size(), ' ');
        text = left ? text + fill : fill + text;
    }
    return text;
}

std::string FloatText(double value, char type, int precision) {
    char pattern[16];
    char buffer[512];
    const char c = type == 'n' ? 'f' : (type == 'g' ? 'G' : (type == 'e' ? 'E' : 'f'));
    if (precision < 0) precision = (type == 'g' || type == 'e') ? 15 : 2;
    if (precision > 100) precision = 100;
    std::snprintf(pattern, sizeof pattern, "%%.%d%c", precision, c);
    std::snprintf(buffer, sizeof buffer, pattern, value);
    std::string text(buffer);
    const char separator = kernel::ProcessFormatSettings().DecimalSeparator;
    for (char& ch : text)
        if (ch == '.') ch = separator;
    return text;
}

// The text of one argument for the directive `type` ("d", "u", "x", "s", "f", "e", "g", "n"),
// before padding; EConvertError when the argument is of another kind or the type is unknown.
std::string ArgumentText(std::string_view pattern, char type, int precision, const FormatArg& arg) {
    std::string text;
    switch (type) {
    case 'd':
    case 'u': {
        if (arg.GetKind() != FormatArg::Kind::Integer) Invalid(pattern);
        std::int64_t v = arg.Integer();
        if (type == 'u' && v < 0) v = static_cast<std::uint32_t>(v);
        text = std::to_string(v < 0 ? -v : v);
        if (precision > 0 && static_cast<int>(text.size()) < precision)
            text.insert(0, static_cast<std::size_t>(precision) - text.size(), '0');
        if (v < 0) text.insert(0, 1, '-');
        break;
    }
    case 'x': {
        if (arg.GetKind() != FormatArg::Kind::Integer) Invalid(pattern);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%llX",
                      static_cast<unsigned long long>(static_cast<std::uint64_t>(arg.Integer())));
        text = buffer;
        if (precision > 0 && static_cast<int>(text.size()) < precision)
            text.insert(0, static_cast<std::size_t>(precision) - text.size(), '0');
        break;
    }
    case 's':
        if (arg.GetKind() != FormatArg::Kind::Text) Invalid(pattern);
        text = arg.Text();
        if (precision >= 0 && static_cast<std::size_t>(precision) < text.size())
            text.resize(static_cast<std::size_t>(precision));
        break;
    case 'f':
    case 'e':
    case 'g':
    case 'n':
        if (arg.GetKind() != FormatArg::Kind::Float) Invalid(pattern);
        text = FloatText(arg.Float(), type, precision);
        break;
    default:
        Invalid(pattern);
    }
    return text;
}

} // namespace

std::string Format(std::string_view pattern, const FormatArgs& args) {
    std::string out;
    std::size_t next = 0;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i++];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        if (i >= pattern.size()) Invalid(pattern);
        if (pattern[i] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        auto readNumber = [&](int& value) {
            const std::size_t start = i;
            value = 0;
            while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
                if (value > 100000) Invalid(pattern);
                value = value * 10 + (pattern[i++] - '0');
            }
            return i > start;
        };
        int number = 0;
        const std::size_t directiveStart = i;
        if (readNumber(number) && i < pattern.size() && pattern[i] == ':') {
            next = static_cast<std::size_t>(number);
            ++i;
        } else {
            i = directiveStart;
        }
        bool left = false;
        if (i < pattern.size() && pattern[i] == '-') {
            left = true;
            ++i;
        }
        int width = 0;
        readNumber(width);
        int precision = -1;
        if (i < pattern.size() && pattern[i] == '.') {
            ++i;
            if (!readNumber(precision)) precision = 0;
        }
        if (i >= pattern.size()) Invalid(pattern);
        char type = pattern[i++];
        if (type >= 'A' && type <= 'Z') type = static_cast<char>(type + 32);
        if (next >= args.size()) Missing(pattern);
        out += Pad(ArgumentText(pattern, type, precision, args[next++]), width, left);
    }
    return out;
}

} // namespace quill::rtl
