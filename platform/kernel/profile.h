// Profile (".ini") reads: GetPrivateProfileIntA and GetPrivateProfileStringA, and TProfileFile for
// several look-ups in one reading of a file.
//
// A profile is read by the file rules (files.h): a regular file only (a FIFO or device planted
// under the name is never opened), links followed as for any path a host names, and at most
// kMaxProfileSize bytes (a larger file is refused by its size before anything is read). A file
// that is missing, not a regular file, too large or unreadable counts as missing. The functions
// read the file anew on every call (a change takes effect at once); TProfileFile reads it once.
//
// Sections are "[name]" lines; entries are "key=value" lines; blanks around names and values are
// ignored, section and key names compare ignoring case (Windows-1251 letters), and the first
// matching entry of the first matching section wins. Lines starting with ";" are comments. A
// missing file, section or key gives the default. An integer value is read as the platform reads
// it: optional blanks and sign, then decimal digits (or "0x" and hexadecimal digits) up to the
// first other character, wrapping to 32 bits; a value without any digit gives the default.
// Thread-safe (a TProfileFile may be read from several threads once loaded).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill::kernel {

// The largest profile file that is read: far beyond any settings file people write by hand.
constexpr std::size_t kMaxProfileSize = 1 << 20;

std::int32_t GetPrivateProfileIntA(std::string_view section, std::string_view key,
                                   std::int32_t defaultValue, const std::string& fileName);
// The value with one pair of enclosing quotes removed, or `defaultValue`.
std::string GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, const std::string& fileName);

class TProfileFile {
  public:
    // An empty profile: every look-up gives its default.
    TProfileFile() = default;
    // Reads `fileName` once; when it counts as missing (see above) the profile stays empty.
    explicit TProfileFile(const std::string& fileName);

    // Whether a file was read.
    bool Loaded() const { return FLoaded; }
    std::int32_t GetInt(std::string_view section, std::string_view key,
                        std::int32_t defaultValue) const;
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;

  private:
    std::optional<std::string> FindValue(std::string_view section, std::string_view key) const;

    bool FLoaded = false;
    std::string FText;
};

} // namespace quill::kernel
