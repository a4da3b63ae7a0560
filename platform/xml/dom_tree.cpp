// The shared tree, libxml2 start-up, text conversions, name checks and the error classes of the
// DOM.
#include "platform/xml/dom_impl.h"

#include "platform/kernel/codepage.h"

#include <libxml/parser.h>

#include <algorithm>
#include <mutex>
#include <unordered_set>

namespace quill::xml {

namespace [[gnu::visibility("hidden")]] detail {

namespace {
// libxml2 reports XPath errors through the context's callback; the message is read from the
// context afterwards, so the callback only keeps it off the standard error stream.
void IgnoreStructuredError(void*, xmlErrorPtr) {}
} // namespace

TTree::~TTree() {
    // Free the detached nodes first, while the document (and its name dictionary) still exists.
    // Roots are collected before anything is freed: a detached node may hang below another one.
    std::vector<xmlNodePtr> roots;
    for (xmlNodePtr node : Loose)
        if (node->parent == nullptr && node != reinterpret_cast<xmlNodePtr>(Doc))
            roots.push_back(node);
    // A node may have been remembered more than once (created, then displaced).
    std::sort(roots.begin(), roots.end());
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
    for (xmlNodePtr node : roots)
        xmlFreeNode(node);
    for (auto& entry : CompiledPaths)
        xmlXPathFreeCompExpr(entry.second);
    if (XPath) xmlXPathFreeContext(XPath);
    if (Doc) xmlFreeDoc(Doc);
}

xmlXPathContextPtr TTree::XPathContext() {
    if (!XPath) {
        XPath = xmlXPathNewContext(Doc);
        if (!XPath) throw std::bad_alloc();
        XPath->error = IgnoreStructuredError;
        XPath->userData = nullptr;
    }
    return XPath;
}

xmlXPathCompExprPtr TTree::Compiled(const std::string& expression) {
    for (const auto& entry : CompiledPaths)
        if (entry.first == expression) return entry.second;
    xmlXPathCompExprPtr compiled =
        xmlXPathCtxtCompile(XPathContext(), reinterpret_cast<const xmlChar*>(expression.c_str()));
    if (!compiled) return nullptr;
    // A handful of paths is all a settings document is read with; past that, start afresh.
    constexpr std::size_t kKept = 16;
    if (CompiledPaths.size() >= kKept) {
        for (auto& entry : CompiledPaths)
            xmlXPathFreeCompExpr(entry.second);
        CompiledPaths.clear();
    }
    try {
        CompiledPaths.emplace_back(expression, compiled);
    } catch (...) {
        xmlXPathFreeCompExpr(compiled);
        throw;
    }
    return compiled;
}

void EnsureLibxml() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

// Whole documents pass through here, so the output is sized once and written by index. Unpaired
// surrogates become U+FFFD, as the kernel's converter makes them.
std::string ToUtf8(std::u16string_view text) {
    std::string out(text.size() * 3, '\0');
    char* p = out.data();
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        char32_t cp = text[i];
        if (cp < 0x80) {
            *p++ = static_cast<char>(cp);
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x800) {
            *p++ = static_cast<char>(0xC0 | (cp >> 6));
            *p++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *p++ = static_cast<char>(0xE0 | (cp >> 12));
            *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            // A surrogate pair: two UTF-16 units, four bytes, within the 3-per-unit budget.
            *p++ = static_cast<char>(0xF0 | (cp >> 18));
            *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
    return out;
}

std::u16string FromUtf8(const xmlChar* text) {
    if (!text) return {};
    return kernel::Utf8ToWide(reinterpret_cast<const char*>(text));
}

bool IsXmlName(const std::string& utf8) {
    constexpr std::size_t kRemembered = 256;
    thread_local std::unordered_set<std::string> known;
    if (known.count(utf8)) return true;
    if (utf8.empty() || xmlValidateName(reinterpret_cast<const xmlChar*>(utf8.c_str()), 0) != 0)
        return false;
    if (known.size() < kRemembered) known.insert(utf8);
    return true;
}

std::string ErrorMessageOf(const xmlError* error, std::string_view fallback) {
    std::string message = error && error->message ? std::string(error->message) : std::string();
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    if (message.empty()) message = fallback;
    return kernel::Utf8ToAnsi(message);
}

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::xml
