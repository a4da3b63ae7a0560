// The DOM's errors and the size limit of a document's text: the same on every system.
#include "platform/xml/dom.h"

namespace quill::xml {

EXmlError::EXmlError(std::string message, com::HRESULT code)
    : rtl::EOleSysError(std::move(message), code) {}
EXmlError::~EXmlError() = default;

EXmlParseError::EXmlParseError(std::string reason, int line, int column)
    : EXmlError("XML parse error at line " + std::to_string(line) + ", column " +
                std::to_string(column) + ": " + reason),
      FReason(std::move(reason)), FLine(line), FColumn(column) {}
EXmlParseError::~EXmlParseError() = default;

std::size_t Utf8Length(std::u16string_view text) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80)
            bytes += 1;
        else if (c < 0x800)
            bytes += 2;
        else if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                 text[i + 1] < 0xE000) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

void CheckDocumentSize(std::u16string_view text) {
    // Most texts are far from the limit: only one that could reach it is measured.
    if (text.size() * 3 <= MaxDocumentBytes) return;
    if (text.size() > MaxDocumentBytes || Utf8Length(text) > MaxDocumentBytes)
        throw EXmlParseError("Document too large", 1, 1);
}

} // namespace quill::xml
