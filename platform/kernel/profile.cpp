#include "platform/kernel/profile.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/files.h"

#include <optional>

namespace quill::kernel {

namespace {

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

} // namespace

TProfileFile::TProfileFile(const std::string& fileName) {
    FLoaded = ReadFileAt(fileName, FText, kMaxProfileSize).Ok();
    if (!FLoaded) FText.clear();
}

std::optional<std::string> TProfileFile::FindValue(std::string_view section,
                                                   std::string_view key) const {
    if (!FLoaded) return std::nullopt;
    std::string_view rest = FText;
    bool inSection = false;
    bool sectionSeen = false;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view text = Trim(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (text.empty() || text.front() == ';') continue;
        if (text.front() == '[') {
            const auto close = text.find(']');
            if (close == std::string_view::npos) continue;
            // Only the first section of the name counts, as on the platform.
            inSection =
                !sectionSeen && AnsiSameText(Trim(text.substr(1, close - 1)), Trim(section));
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) continue;
        const auto equals = text.find('=');
        if (equals == std::string_view::npos) continue;
        if (AnsiSameText(Trim(text.substr(0, equals)), Trim(key)))
            return std::string(Trim(text.substr(equals + 1)));
    }
    return std::nullopt;
}

std::int32_t TProfileFile::GetInt(std::string_view section, std::string_view key,
                                  std::int32_t defaultValue) const {
    const auto value = FindValue(section, key);
    if (!value) return defaultValue;
    std::string_view text = *value;
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
        DigitValue(text[2]) < 16) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint32_t result = 0;
    std::size_t digits = 0;
    for (const char c : text) {
        const int digit = DigitValue(c);
        if (digit >= base) break;
        result = result * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
        ++digits;
    }
    if (digits == 0) return defaultValue;
    if (negative) result = 0u - result;
    return static_cast<std::int32_t>(result);
}

std::string TProfileFile::GetString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    const auto value = FindValue(section, key);
    if (!value) return std::string(defaultValue);
    std::string text = *value;
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    return text;
}

std::int32_t GetPrivateProfileIntA(std::string_view section, std::string_view key,
                                   std::int32_t defaultValue, const std::string& fileName) {
    return TProfileFile(fileName).GetInt(section, key, defaultValue);
}

std::string GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, const std::string& fileName) {
    return TProfileFile(fileName).GetString(section, key, defaultValue);
}

} // namespace quill::kernel
