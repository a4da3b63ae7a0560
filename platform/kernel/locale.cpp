#include "platform/kernel/locale.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace quill::kernel {

namespace {

const char* LocaleSetting() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return nullptr;
}

} // namespace

LANGID GetUserDefaultLangID() {
    const char* setting = LocaleSetting();
    if (!setting) return 0x0409;
    const std::string_view value(setting);
    const std::string_view withRegion = value.substr(0, value.find_first_of(".@"));
    const std::string_view language = value.substr(0, value.find_first_of("_.@"));
    for (const auto& entry : kKnownLanguages)
        if (withRegion == entry.Code || language == entry.Code) return entry.Id;
    return 0x0409;
}

} // namespace quill::kernel
