#include "exchange/xml/settings_xml.h"

#include "exchange/xml/text_utils.h"
#include "exchange/xml/xml_names.h"
#include "infra/codes/coded_exception.h"
#include "platform/kernel/codepage.h"

namespace quill::exchange {

namespace {

struct TReplacement {
    std::u16string_view Search;
    std::u16string_view Replace;
};

// The delimiters keep the replacements to tag and attribute names.
constexpr TReplacement kDigit4Rule[] = {
    {u"ТочкиДоступа>", u"То4киДоступа>"},
    {u"<ТочкаДоступа", u"<То4каДоступа"},
    {u" ФлагТолькоЧтение=", u" ФлагТолько4тение="},
    {u" ЗначениеПоУмолчанию=", u" Зна4ениеПоУмол4анию="},
    {u" КодТочкиДоступа=", u" КодТо4киДоступа="},
    {u" Значение=", u" Зна4ение="},
};

const XmlNode& RequireNode(const XmlNode& node) {
    if (!node) throw xml::EXmlError("No XML node", com::E_POINTER);
    return node;
}

} // namespace

XmlDocument CreateXmlDocument() {
    XmlDocument document;
    try {
        document = xml::CreateDomObject(u"Msxml2.DOMDocument");
    } catch (const rtl::EOleSysError&) {
        document = xml::CreateDomObject(u"MSXML.DOMDocument");
    }
    document->SetProperty(u"SelectionLanguage", u"XPath");
    return document;
}

XmlDocument NewXmlDocument(std::u16string_view rootName, std::u16string_view declaration) {
    XmlDocument document = CreateXmlDocument();
    if (!declaration.empty())
        document->InsertBefore(document->CreateProcessingInstruction(u"xml", declaration), nullptr);
    if (!rootName.empty()) document->SetDocumentElement(document->CreateElement(rootName));
    document->SetAsync(false);
    return document;
}

std::u16string_view XmlDeclaration() {
    return u"version=\"1.0\" encoding=\"UTF-16\"";
}

void NormaliseSettingsText(std::u16string& text) {
    // Most texts are already in digit-4 form: a pass that finds nothing copies nothing.
    for (const TReplacement& r : kDigit4Rule)
        ReplaceAllIn(text, r.Search, r.Replace, false);
}

XmlDocument LoadSettingsDocument(std::u16string& text, bool dropLineBreaks) {
    if (dropLineBreaks) ReplaceAllIn(text, u"\r\n", u"", true);
    NormaliseSettingsText(text);
    XmlDocument document = CreateXmlDocument();
    document->LoadXml(text);
    document->SetAsync(false);
    return document;
}

XmlNode LoadSettingsText(std::u16string& text, bool dropLineBreaks) {
    return LoadSettingsDocument(text, dropLineBreaks)->DocumentElement();
}

XmlNode CreateElementByNumber(const XmlDocument& document, int number) {
    const std::u16string_view name = NodeName(number);
    if (!document) throw xml::EXmlError("No XML document", com::E_POINTER);
    return document->CreateElement(name);
}

TXmlNodeList SelectNodesByNumber(const XmlNode& node, int number, std::u16string_view suffix,
                                 std::u16string_view argument) {
    std::u16string path(NodeName(number));
    if (const auto at = path.find(u"%s"); at != std::u16string::npos) path.replace(at, 2, argument);
    path.append(suffix);
    return RequireNode(node)->SelectNodes(path);
}

XmlNode SelectSingleNodeByNumber(const XmlNode& node, int number, std::u16string_view suffix) {
    std::u16string path(NodeName(number));
    path.append(suffix);
    return RequireNode(node)->SelectSingleNode(path);
}

std::u16string GetAttributeByNumber(const XmlNode& node, int number,
                                    std::u16string_view defaultValue) {
    const std::u16string_view name = AttributeName(number);
    if (!node) return std::u16string(defaultValue);
    std::optional<std::u16string> value = node->GetAttribute(name);
    return value ? std::move(*value) : std::u16string(defaultValue);
}

std::u16string GetAttributeText(const XmlNode& node, std::string_view name,
                                std::u16string_view defaultValue) {
    if (!node) return std::u16string(defaultValue);
    std::optional<std::u16string> value = node->GetAttribute(kernel::AnsiToWide(name));
    return value ? std::move(*value) : std::u16string(defaultValue);
}

void SetAttributesByNumbers(const XmlNode& element, std::span<const int> numbers,
                            std::span<const com::OleVariant> values) {
    if (numbers.size() != values.size()) {
        static const std::string text =
            kernel::WideToAnsi(u"Размерности массивов аттрибутов и значений не совпадают");
        infra::RaiseErrorText(text);
    }
    RequireNode(element);
    for (std::size_t i = 0; i < numbers.size(); ++i)
        element->SetAttribute(AttributeName(numbers[i]), values[i]);
}

} // namespace quill::exchange
