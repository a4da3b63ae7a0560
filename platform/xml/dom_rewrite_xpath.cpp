// The XPath rewrite that gives every non-ASCII name test its axis: the same on every system.
#include "platform/xml/dom.h"

namespace quill::xml {

namespace {

// libxml2 2.9 starts a step after a leading "/" only at an ASCII letter: "/Система" is read as
// the root alone and the rest is refused. A name test with its axis spelt out parses anywhere,
// and "child::" is what a bare name test means, so every name test that starts with a non-ASCII
// letter is given it.
bool StartsName(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80;
}

bool ContinuesName(char16_t c) {
    return StartsName(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

std::u16string RewriteXPath(std::u16string_view xpath) {
    std::u16string out;
    out.reserve(xpath.size() + 16);
    // The last character written that is not a blank: it tells a name test from an attribute
    // name ("@"), a variable ("$") or a name that already follows its axis or prefix (":").
    char16_t previous = 0;
    std::size_t i = 0;
    while (i < xpath.size()) {
        const char16_t c = xpath[i];
        if (c == u'"' || c == u'\'') {
            const std::size_t close = xpath.find(c, i + 1);
            const std::size_t end = close == std::u16string_view::npos ? xpath.size() : close + 1;
            out.append(xpath.substr(i, end - i));
            previous = c;
            i = end;
            continue;
        }
        if (c >= u'0' && c <= u'9') {
            // A number: its digits are no name, whatever follows.
            std::size_t end = i;
            while (end < xpath.size() &&
                   ((xpath[end] >= u'0' && xpath[end] <= u'9') || xpath[end] == u'.'))
                ++end;
            out.append(xpath.substr(i, end - i));
            previous = xpath[end - 1];
            i = end;
            continue;
        }
        if (StartsName(c)) {
            std::size_t end = i + 1;
            while (end < xpath.size() && ContinuesName(xpath[end]))
                ++end;
            if (c >= 0x80 && previous != u'@' && previous != u'$' && previous != u':')
                out += u"child::";
            out.append(xpath.substr(i, end - i));
            previous = xpath[end - 1];
            i = end;
            continue;
        }
        out += c;
        if (!IsBlank(c)) previous = c;
        ++i;
    }
    return out;
}

} // namespace quill::xml
