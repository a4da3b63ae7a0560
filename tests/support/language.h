// Sets the user's language for the duration of a test and restores the environment afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace quill::test {

class ScopedLanguage {
  public:
    explicit ScopedLanguage(const char* lang) {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            FSaved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
        if (lang) setenv("LANG", lang, 1);
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

  private:
    std::vector<std::optional<std::string>> FSaved;
};

} // namespace quill::test
