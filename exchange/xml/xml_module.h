// Start-up of the settings-XML module: the process-wide number and date formats that settings
// texts assume (decimal separator ",", date separator ".", short date "dd.MM.yyyy", time separator
// ":", short time "hh:mm", long time "hh:mm:ss").
//
// The library's start-up calls InitialiseSettingsXml once, in its documented order, before any
// call can arrive; the formats are only read afterwards. They are the library's own format
// settings (kernel::ProcessFormatSettings): the C locale of the host process is never changed.
#pragma once

namespace quill::exchange {

void InitialiseSettingsXml();

} // namespace quill::exchange
