// Small utilities of the parameter-block module: the conversion of 8-bit texts to and from byte
// arrays for binary data passed in variants. (The library's own file: infra/root/module_path.h.)
#pragma once

#include "platform/com/variant.h"

#include <string>
#include <string_view>

namespace quill::exchange {

// A text of n bytes -> a one-dimensional VT_UI1 array with bounds 0..n (n + 1 elements, the last
// one 0); the empty text -> the empty variant.
com::OleVariant TextToByteArray(std::string_view text);
// The first high-bound bytes of a one-dimensional byte array; empty for anything else.
std::string ByteArrayToText(const com::VARIANT& value);

} // namespace quill::exchange
