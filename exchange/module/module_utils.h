// Small utilities of the parameter-block module: this library's own file name, and the
// conversion of 8-bit texts to and from byte arrays for binary data passed in variants.
#pragma once

#include "platform/com/variant.h"

#include <string>
#include <string_view>

namespace quill::exchange {

// Full path of this library's own file; with `baseOnly`, the file name without folder and
// extension. Empty only if the platform cannot tell.
std::string ModuleName(bool baseOnly = false);

// A text of n bytes -> a one-dimensional VT_UI1 array with bounds 0..n (n + 1 elements, the last
// one 0); the empty text -> the empty variant.
com::OleVariant TextToByteArray(std::string_view text);
// The first high-bound bytes of a one-dimensional byte array; empty for anything else.
std::string ByteArrayToText(const com::VARIANT& value);

} // namespace quill::exchange
