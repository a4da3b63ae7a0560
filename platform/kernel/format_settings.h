// The process-wide number and date formats that the library's own conversions use.
//
// These stand in for the locale information that the platform's run-time library keeps per
// process. They are ours alone: the C locale of the host process is never touched. The settings
// module writes them once when the library starts; afterwards they are only read, so reads need no
// lock.
#pragma once

#include <string>

namespace quill::kernel {

struct FormatSettings {
    char DecimalSeparator = '.';
    char DateSeparator = '.';
    std::string ShortDateFormat = "dd.MM.yyyy";
    char TimeSeparator = ':';
    std::string ShortTimeFormat = "hh:mm";
    std::string LongTimeFormat = "hh:mm:ss";
};

// The one instance of the process.
FormatSettings& ProcessFormatSettings();

} // namespace quill::kernel
