#include "platform/kernel/format_settings.h"

namespace quill::kernel {

FormatSettings& ProcessFormatSettings() {
    static FormatSettings settings;
    return settings;
}

} // namespace quill::kernel
