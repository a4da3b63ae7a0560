// The user's language, read from the environment as the platform reads it from the user profile.
//
// The first non-empty of LC_ALL, LC_MESSAGES and LANG decides: "ru_RU.UTF-8" gives 0x0419
// (primary language 0x19, Russian), "en_US" 0x0409, and so on; "C", "POSIX", an unknown language
// or no setting gives 0x0409. Read anew on every call, so a change takes effect at once.
#pragma once

#include <cstdint>

namespace quill::kernel {

using LANGID = std::uint16_t;

constexpr LANGID LANG_RUSSIAN = 0x19;
constexpr LANGID LANG_ENGLISH = 0x09;

LANGID GetUserDefaultLangID();
constexpr LANGID PrimaryLangId(LANGID id) {
    return static_cast<LANGID>(id & 0xFF);
}

} // namespace quill::kernel
