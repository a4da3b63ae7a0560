#include "platform/kernel/locale.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace quill::kernel {

namespace {

struct LanguageCode {
    const char* code;
    LANGID id;
};

// The languages a user of the host is likely to run; anything else counts as English.
constexpr LanguageCode kLanguages[] = {
    {"ru", 0x0419}, {"en", 0x0409}, {"uk", 0x0422}, {"be", 0x0423}, {"kk", 0x043F},
    {"de", 0x0407}, {"fr", 0x040C}, {"es", 0x0C0A}, {"it", 0x0410}, {"pl", 0x0415},
    {"lv", 0x0426}, {"lt", 0x0427}, {"et", 0x0425}, {"uz", 0x0443}, {"hy", 0x042B},
    {"ka", 0x0437}, {"az", 0x042C}, {"ro", 0x0418}, {"tr", 0x041F}, {"zh", 0x0804},
};

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
    std::string_view value(setting);
    const auto end = value.find_first_of("_.@");
    const std::string_view language = value.substr(0, end);
    for (const auto& entry : kLanguages)
        if (language == entry.code) return entry.id;
    return 0x0409;
}

} // namespace quill::kernel
