#include "host/empty_input.h"

#include <algorithm>
#include <cstdio>

namespace quill::host {

namespace {

std::string Count(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The number of the line that holds byte `at`, counted from 1.
std::int64_t LineAt(std::string_view text, std::size_t at) {
    return std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n') + 1;
}

// A short quotation of `text` for a message: printable ASCII kept, the rest as \xHH.
std::string Quote(std::string_view text, std::size_t most = 24) {
    std::string out;
    for (char c : text.substr(0, most)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out.push_back(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        }
    }
    return out + (text.size() > most ? "..." : "");
}

// Where `text` stops being UTF-8; npos when it is UTF-8 throughout.
std::size_t FirstNonUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80                     ? 1
                             : (lead >= 0xC2 && lead < 0xE0) ? 2
                             : (lead >= 0xE0 && lead < 0xF0) ? 3
                             : (lead >= 0xF0 && lead < 0xF5) ? 4
                                                             : 0;
        if (length == 0 || i + length > text.size()) return i;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return i;
        i += length;
    }
    return std::string_view::npos;
}

// The root element's start tag ("<name attributes>"), past the declaration, comments and a
// document type; empty when there is none.
std::string_view RootTag(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::size_t at = 0;
    for (;;) {
        at = text.find('<', at);
        if (at == std::string_view::npos || at + 1 >= text.size()) return {};
        const char next = text[at + 1];
        if (next == '?' || next == '!') {
            const std::string_view end = text.substr(at, 4) == "<!--" ? "-->" : ">";
            const std::size_t close = text.find(end, at + 2);
            if (close == std::string_view::npos) return {};
            at = close + end.size();
            continue;
        }
        const std::size_t close = text.find('>', at);
        return text.substr(at, close == std::string_view::npos ? text.size() - at : close - at + 1);
    }
}

constexpr std::string_view kDevice = "<Устройство";

} // namespace

std::string WhyNoKeyEvents(std::string_view text, const TRecordingParse& parse) {
    const std::string shape =
        std::string(parse.Format == TRecordingFormat::Evtest ? "evtest" : "evemu-record") +
        " text, " + Count(parse.Lines, "line", "lines");
    if (text.find('\r') != std::string_view::npos && text.find('\n') == std::string_view::npos)
        return "its lines end with a carriage return alone, so the whole text is one line; "
               "evtest and evemu-record end lines with a line feed (convert with tr '\\r' "
               "'\\n') (" +
               shape + ")";
    if (parse.EventLines > 0)
        return "its " + Count(parse.EventLines, "event is", "events are") +
               " of other types than EV_KEY (synchronisation, scan codes, LEDs): no key was "
               "pressed, or the device is no keyboard (" +
               shape + ")";
    if (parse.Format == TRecordingFormat::Evtest) {
        // evtest's events begin their lines; "Event:" further in means something was put before.
        const std::size_t inside = text.find("Event: time");
        if (inside != std::string_view::npos) {
            const std::size_t lineStart = text.rfind('\n', inside);
            const std::size_t from = lineStart == std::string_view::npos ? 0 : lineStart + 1;
            return "no line begins with \"Event:\"; line " + std::to_string(LineAt(text, inside)) +
                   " has \"" + Quote(text.substr(from, inside - from)) +
                   "\" in front of it, and evtest's event lines begin with \"Event: time\" (" +
                   shape + ")";
        }
        return "it has evtest's description of a device but no event line (\"Event: time "
               "...\") (" +
               shape + ")";
    }
    return "it has evemu-record's description of a device but no event line (\"E: ...\") (" +
           shape + ")";
}

std::string WhyNoDevice(std::string_view text) {
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF")
        return "it is UTF-16 text; a settings file is read as UTF-8 (convert with iconv -f "
               "UTF-16 -t UTF-8)";
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
        return "it holds a NUL byte at offset " + std::to_string(nul) + " (line " +
               std::to_string(LineAt(text, nul)) +
               "): the settings text ends there for the plug-in, and the " +
               Count(static_cast<std::int64_t>(text.size() - nul - 1), "byte", "bytes") +
               " after it are never read";
    if (const std::size_t bad = FirstNonUtf8(text); bad != std::string_view::npos) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(text[bad]));
        return "it is not UTF-8 text (byte " + std::string(byte) + " at offset " +
               std::to_string(bad) + ", line " + std::to_string(LineAt(text, bad)) +
               "); a Windows-1251 file must be converted (iconv -f WINDOWS-1251 -t UTF-8)";
    }
    const std::string_view root = RootTag(text);
    if (root.empty()) return "it holds no XML element";
    const std::size_t nameEnd = root.find_first_of(" \t\r\n/>", 1);
    const std::string_view name = root.substr(1, nameEnd - 1);
    if (name.find(':') != std::string_view::npos || root.find("xmlns") != std::string_view::npos)
        return "its root element " + std::string(name) +
               " is in an XML namespace (xmlns); the plug-in reads settings elements that are in "
               "none";
    if (text.find(kDevice) == std::string_view::npos)
        return "it holds no element Устройство, which describes a device (its root element is " +
               std::string(name) + ")";
    return "its Устройство elements were not taken as devices (the plug-in's log may say why)";
}

} // namespace quill::host
