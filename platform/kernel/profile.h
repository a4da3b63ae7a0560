// Profile (".ini") reads: GetPrivateProfileIntA and GetPrivateProfileStringA.
//
// The file is read anew on every call (a change takes effect at once). Sections are "[name]" lines;
// entries are "key=value" lines; blanks around names and values are ignored, section and key names
// compare ignoring case (Windows-1251 letters), and the first matching entry of the first matching
// section wins. Lines starting with ";" are comments. A missing file, section or key gives the
// default. An integer value is read as the platform reads it: optional blanks and sign, then decimal
// digits (or "0x" and hexadecimal digits) up to the first other character, wrapping to 32 bits; a
// value without any digit gives the default. Thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quill::kernel {

std::int32_t GetPrivateProfileIntA(std::string_view section, std::string_view key,
                                   std::int32_t defaultValue, const std::string& fileName);
// The value with one pair of enclosing quotes removed, or `defaultValue`.
std::string GetPrivateProfileStringA(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, const std::string& fileName);

} // namespace quill::kernel
