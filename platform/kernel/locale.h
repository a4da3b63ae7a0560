// The user's language, read from the environment as the platform reads it from the user profile.
//
// The first non-empty of LC_ALL, LC_MESSAGES and LANG decides: "ru_RU.UTF-8" gives 0x0419
// (primary language 0x19, Russian), "en_US" 0x0409, and so on; a region with an identifier of its
// own gives that one ("ru_MD" 0x0819, "en_GB" 0x0809), as the platform does; "C", "POSIX", an
// unknown language or no setting gives 0x0409. Read anew on every call, so a change takes effect
// at once. Callers that pick a language look at the primary language only (PrimaryLangId).
#pragma once

#include <cstdint>

namespace quill::kernel {

using LANGID = std::uint16_t;

constexpr LANGID LANG_RUSSIAN = 0x19;
constexpr LANGID LANG_ENGLISH = 0x09;

// One setting the platform tells apart: a language ("ru") or a language with its region ("ru_MD").
struct TLanguageCode {
    const char* Code;
    LANGID Id;
};

// The languages a user of the host is likely to run; anything else counts as English. A region
// whose identifier differs from its language's comes first, so that it wins over the language.
inline constexpr TLanguageCode kKnownLanguages[] = {
    {"ru_MD", 0x0819}, {"en_GB", 0x0809}, {"ru", 0x0419}, {"en", 0x0409}, {"uk", 0x0422},
    {"be", 0x0423},    {"kk", 0x043F},    {"de", 0x0407}, {"fr", 0x040C}, {"es", 0x0C0A},
    {"it", 0x0410},    {"pl", 0x0415},    {"lv", 0x0426}, {"lt", 0x0427}, {"et", 0x0425},
    {"uz", 0x0443},    {"hy", 0x042B},    {"ka", 0x0437}, {"az", 0x042C}, {"ro", 0x0418},
    {"tr", 0x041F},    {"zh", 0x0804},
};

LANGID GetUserDefaultLangID();
constexpr LANGID PrimaryLangId(LANGID id) {
    return static_cast<LANGID>(id & 0xFF);
}

} // namespace quill::kernel
