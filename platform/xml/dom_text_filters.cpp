// The text passes of a document load: control-character references, crowded and deep elements,
// document type declarations.
#include "platform/xml/dom_text_filters.h"

#include "platform/xml/dom.h"

#include <algorithm>
#include <cstring>

namespace quill::xml::detail {

namespace {

// U+FDD0 + code (code 0..31) in UTF-8 is EF B7 followed by 0x90 + code.
constexpr unsigned char kLead1 = 0xEF;
constexpr unsigned char kLead2 = 0xB7;
constexpr unsigned char kFirstTrail = 0x90;
constexpr unsigned char kLastTrail = 0xAF;

bool IsForbiddenControl(unsigned long code) {
    return code >= 1 && code < 0x20 && code != 0x09 && code != 0x0A && code != 0x0D;
}

} // namespace

bool HoldsHiddenControls(std::string_view text) {
    for (std::size_t at = text.find(static_cast<char>(kLead1)); at != std::string_view::npos;
         at = text.find(static_cast<char>(kLead1), at + 1)) {
        if (at + 2 >= text.size()) break;
        const auto second = static_cast<unsigned char>(text[at + 1]);
        const auto third = static_cast<unsigned char>(text[at + 2]);
        if (second == kLead2 && third >= kFirstTrail && third <= kLastTrail) return true;
    }
    return false;
}

namespace {

// The code of the character reference at `at` ("&#N;" or "&#xH;") and its length, or 0.
unsigned long ReferenceAt(std::string_view text, std::size_t at, std::size_t& length) {
    std::size_t i = at + 2;
    const bool hex = i < text.size() && text[i] == 'x';
    if (hex) ++i;
    const std::size_t digitsStart = i;
    unsigned long code = 0;
    while (i < text.size() && i - digitsStart < 8) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
        ++i;
    }
    if (i == digitsStart || i >= text.size() || text[i] != ';') return 0;
    length = i + 1 - at;
    return code;
}

// Where the markup that starts at `at` and must be copied unread ends (past its terminator), or
// `at` when no such markup starts there.
std::size_t SkipUnreadMarkup(std::string_view text, std::size_t at) {
    static constexpr std::pair<std::string_view, std::string_view> kUnread[] = {
        {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
    for (const auto& [open, close] : kUnread) {
        if (text.compare(at, open.size(), open) != 0) continue;
        const std::size_t end = text.find(close, at + open.size());
        return end == std::string_view::npos ? text.size() : end + close.size();
    }
    return at;
}

// U+FDD0..U+FDEF in UTF-16: the hidden control is the unit minus U+FDD0.
constexpr char16_t kFirstHidden = 0xFDD0;
constexpr char16_t kLastHidden = 0xFDEF;

// Whether some stretch of text from one "<" to the next holds more than `limit` "=" signs. A
// start tag holds no "<" (values may not), so it lies within one such stretch, and its
// attributes are no more than the stretch's "=" signs: when no stretch has too many, no element
// has. Counting bytes is about four times faster than the exact walk over tags, quotes and
// comments, which then runs only on a text that may be refused.
bool MayHoldCrowdedElement(std::string_view utf8, std::size_t limit) {
    const char* p = utf8.data();
    const char* const end = p + utf8.size();
    while (p != end) {
        const auto* next = static_cast<const char*>(std::memchr(p + 1, '<', end - p - 1));
        if (!next) next = end;
        if (static_cast<std::size_t>(std::count(p, next, '=')) > limit) return true;
        p = next;
    }
    return false;
}

// Whether the text at `at` starts an end tag or a declaration: markup without attributes.
bool StartsEndTagOrDeclaration(std::string_view utf8, std::size_t at) {
    return at + 1 < utf8.size() && (utf8[at + 1] == '/' || utf8[at + 1] == '!');
}

} // namespace

std::optional<std::size_t> FindCrowdedElement(std::string_view utf8, std::size_t limit) {
    if (!MayHoldCrowdedElement(utf8, limit)) return {};
    std::size_t i = 0;
    while ((i = utf8.find('<', i)) != std::string_view::npos) {
        const std::size_t skipped = SkipUnreadMarkup(utf8, i);
        if (skipped != i) {
            i = skipped;
            continue;
        }
        const std::size_t start = i++;
        if (i < utf8.size() && (utf8[i] == '/' || utf8[i] == '!')) {
            // An end tag or a declaration carries no attributes.
            const std::size_t end = utf8.find('>', i);
            if (end == std::string_view::npos) break;
            i = end + 1;
            continue;
        }
        std::size_t attributes = 0;
        for (; i < utf8.size(); ++i) {
            const char c = utf8[i];
            if (c == '"' || c == '\'') {
                // Values are most of a settings text: their end is searched, not walked.
                const void* end = std::memchr(utf8.data() + i + 1, c, utf8.size() - i - 1);
                if (!end) return {};
                i = static_cast<std::size_t>(static_cast<const char*>(end) - utf8.data());
            } else if (c == '=') {
                if (++attributes > limit) return start;
            } else if (c == '>' || c == '<') {
                break;
            }
        }
    }
    return {};
}

bool HideControlReferences(std::string& utf8) {
    if (utf8.find("&#") == std::string::npos || HoldsHiddenControls(utf8)) return false;
    const std::string_view text(utf8);
    std::size_t write = 0;
    bool replaced = false;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '<') {
            const std::size_t end = SkipUnreadMarkup(text, i);
            if (end != i) {
                // In place: the output never runs ahead of the input.
                std::memmove(utf8.data() + write, utf8.data() + i, end - i);
                write += end - i;
                i = end;
                continue;
            }
        } else if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '#') {
            std::size_t length = 0;
            const unsigned long code = ReferenceAt(text, i, length);
            if (IsForbiddenControl(code)) {
                utf8[write++] = static_cast<char>(kLead1);
                utf8[write++] = static_cast<char>(kLead2);
                utf8[write++] = static_cast<char>(kFirstTrail + code);
                i += length;
                replaced = true;
                continue;
            }
        }
        utf8[write++] = utf8[i++];
    }
    utf8.resize(write);
    return replaced;
}

std::string RestoreHiddenControls(std::string_view view) {
    std::string restored;
    restored.reserve(view.size());
    for (std::size_t i = 0; i < view.size(); ++i) {
        const auto c = static_cast<unsigned char>(view[i]);
        if (c == kLead1 && i + 2 < view.size() &&
            static_cast<unsigned char>(view[i + 1]) == kLead2 &&
            static_cast<unsigned char>(view[i + 2]) >= kFirstTrail &&
            static_cast<unsigned char>(view[i + 2]) <= kLastTrail) {
            restored.push_back(
                static_cast<char>(static_cast<unsigned char>(view[i + 2]) - kFirstTrail));
            i += 2;
        } else {
            restored.push_back(static_cast<char>(c));
        }
    }
    return restored;
}

bool RestoreHiddenControls(std::u16string& text) {
    bool changed = false;
    for (char16_t& c : text)
        if (c >= kFirstHidden && c <= kLastHidden) {
            c = static_cast<char16_t>(c - kFirstHidden);
            changed = true;
        }
    return changed;
}

std::pair<int, int> LineAndColumnOf(std::string_view utf8, std::size_t at) {
    const std::string_view before = utf8.substr(0, at);
    const std::size_t lineStart = before.rfind('\n');
    const auto line = 1 + std::count(before.begin(), before.end(), '\n');
    const auto column = lineStart == std::string_view::npos ? at + 1 : at - lineStart;
    return {static_cast<int>(line), static_cast<int>(column)};
}

void RefuseCrowdedElement(std::string_view utf8) {
    if (const auto at = FindCrowdedElement(utf8, MaxAttributesPerElement)) {
        const auto [line, column] = LineAndColumnOf(utf8, *at);
        throw EXmlParseError("An element has too many attributes (more than " +
                                 std::to_string(MaxAttributesPerElement) + ")",
                             line, column);
    }
}

std::optional<std::size_t> FindTooDeepElement(std::string_view utf8, std::size_t limit) {
    std::size_t depth = 0;
    std::size_t i = 0;
    while ((i = utf8.find('<', i)) != std::string_view::npos) {
        const std::size_t skipped = SkipUnreadMarkup(utf8, i);
        if (skipped != i) {
            i = skipped;
            continue;
        }
        const std::size_t start = i;
        if (StartsEndTagOrDeclaration(utf8, start)) {
            if (utf8[start + 1] == '/' && depth > 0) --depth;
            const std::size_t end = utf8.find('>', start);
            if (end == std::string_view::npos) break;
            i = end + 1;
            continue;
        }
        // A start tag: its end is the first ">" outside quoted values.
        std::size_t end = start + 1;
        for (; end < utf8.size() && utf8[end] != '>'; ++end) {
            const char c = utf8[end];
            if (c == '"' || c == '\'') {
                const std::size_t close = utf8.find(c, end + 1);
                if (close == std::string_view::npos) return {};
                end = close;
            }
        }
        if (end >= utf8.size()) break;
        if (utf8[end - 1] != '/' && ++depth > limit) return start;
        i = end + 1;
    }
    return {};
}

std::optional<std::size_t> FindForbiddenCharacter(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') return i;
    }
    return {};
}

std::optional<std::size_t> FindDoctype(std::string_view utf8) {
    static constexpr std::string_view kDoctype = "<!DOCTYPE";
    std::size_t i = 0;
    while ((i = utf8.find('<', i)) != std::string_view::npos) {
        const std::size_t skipped = SkipUnreadMarkup(utf8, i);
        if (skipped != i) {
            i = skipped;
            continue;
        }
        if (utf8.compare(i, kDoctype.size(), kDoctype) == 0) return i;
        ++i;
    }
    return {};
}

} // namespace quill::xml::detail
