#include "exchange/xml/attribute_values.h"

#include "exchange/xml/settings_xml.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"

namespace quill::exchange {

std::int32_t IntegerAttribute(const xml::XmlNode& node, int number, std::int32_t defaultValue) {
    const std::u16string text = GetAttributeByNumber(node, number);
    if (text.empty()) return defaultValue;
    return rtl::TryStrToInt(kernel::WideToAnsi(text)).value_or(defaultValue);
}

} // namespace quill::exchange
