#include "exchange/xml/xml_module.h"

#include "platform/kernel/format_settings.h"

namespace quill::exchange {

void InitialiseSettingsXml() {
    kernel::FormatSettings& formats = kernel::ProcessFormatSettings();
    formats.DecimalSeparator = ',';
    formats.DateSeparator = '.';
    formats.ShortDateFormat = "dd.MM.yyyy";
    formats.TimeSeparator = ':';
    formats.ShortTimeFormat = "hh:mm";
    formats.LongTimeFormat = "hh:mm:ss";
}

} // namespace quill::exchange
