// Sets the user's language for the duration of a test and restores the environment afterwards.
//
// On Linux the library reads the language from the environment, so any language can be set. On
// Windows it is the system's, fixed when the program starts (Wine takes it from LC_ALL): there a
// ScopedLanguage only tells whether the language asked for is the one in force (Holds), and checks
// that need another one are left to the run in that language (the suite runs once in Russian and
// once in English). QUILL_IN_LANGUAGE runs a block in a language where it holds;
// QUILL_SKIP_UNLESS_LANGUAGE skips the rest of a test where it does not.
#pragma once

#include "platform/kernel/locale.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::test {

class ScopedLanguage {
  public:
    explicit ScopedLanguage(const char* lang) : FWanted(lang ? lang : "(none)") {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            FSaved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
        if (lang) setenv("LANG", lang, 1);
        FHolds = kernel::PrimaryLangId(kernel::GetUserDefaultLangID()) ==
                 kernel::PrimaryLangId(IdOf(lang));
    }
    ~ScopedLanguage() {
        const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
        for (std::size_t i = 0; i < 3; ++i) {
            if (FSaved[i])
                setenv(names[i], FSaved[i]->c_str(), 1);
            else
                unsetenv(names[i]);
        }
    }
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;

    // Whether the library now sees the language asked for (always so on Linux).
    bool Holds() const { return FHolds; }
    const std::string& Wanted() const { return FWanted; }

  private:
    // The identifier a setting such as "ru_RU.UTF-8" stands for; English for any other.
    static kernel::LANGID IdOf(const char* lang) {
        if (!lang) return 0x0409;
        const std::string_view value(lang);
        const std::string_view withRegion = value.substr(0, value.find_first_of(".@"));
        const std::string_view language = value.substr(0, value.find_first_of("_.@"));
        for (const auto& entry : kernel::kKnownLanguages)
            if (withRegion == entry.Code || language == entry.Code) return entry.Id;
        return 0x0409;
    }

    std::string FWanted;
    bool FHolds = false;
    std::vector<std::optional<std::string>> FSaved;
};

} // namespace quill::test

// `if` over a block that needs the language `lang`: it runs with the language set where that can
// be done, and is left out where the system's language is another.
#define QUILL_IN_LANGUAGE(lang)                                                                    \
    if (::quill::test::ScopedLanguage quillLanguage(lang); quillLanguage.Holds())

// Skips the rest of the test unless the ScopedLanguage `scoped` holds.
#define QUILL_SKIP_UNLESS_LANGUAGE(scoped)                                                         \
    do {                                                                                           \
        if (!(scoped).Holds())                                                                     \
            GTEST_SKIP() << "needs the language " << (scoped).Wanted()                             \
                         << ", and the system's is fixed when the program starts";                 \
    } while (0)
