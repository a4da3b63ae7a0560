// The escaped form in which a scanner's prefix and suffix are stored.
//
// "&" followed by one or two decimal digits is the character with that code (0..99; a third
// digit is an ordinary character, so "&128" is code 12 then "8"); "&" followed by any other
// character is that character ("&&" is one "&"); a trailing "&" is the character with code 0.
// So "&13" is the carriage return that the Enter key types and "&9" a tab. Pure; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace quill::capture {

std::string DecodeEscapes(std::string_view text);

} // namespace quill::capture
