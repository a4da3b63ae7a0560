// Result codes and coded failures.
//
// Every failure that the plug-in reports to its host is a signed 32-bit result code with a text.
// ECodedException (declared for hosts in quill/coded_exception.h) carries the code (and the list
// of codes it has carried); RaiseCodedError builds the message for a code and throws. Codes
// 20000..21999 take their template from the message table in the user's language; every other code
// takes the caller's first argument as its message. A template that needs more or other arguments
// than given raises the formatter's own EConvertError instead: never undefined behaviour. These
// classes live in the shared run-time, so the host catches the very types the library throws.
// Thread-safe.
#pragma once

#include "platform/rtl/format.h"
#include "quill/coded_exception.h"

#include <cstdint>
#include <string>

namespace quill::infra {

// The framework's codes that the library raises itself.
namespace codes {
constexpr std::int32_t FreeText = 20000;
constexpr std::int32_t BadPropertyType = 20029;
constexpr std::int32_t MemberNotFound = 20036;
constexpr std::int32_t NoDriverObject = 20058;
constexpr std::int32_t FreeTextAlt = 21000;
// The framework's range: these codes take their texts from the message table.
constexpr std::int32_t FirstFramework = 20000;
constexpr std::int32_t LastFramework = 21999;
} // namespace codes

[[noreturn]] void RaiseCodedError(std::int32_t code, const rtl::FormatArgs& arguments);
[[noreturn]] void RaiseCodedError(std::int32_t code);
// RaiseCodedError(20000, [text]): a code-20000 failure whose message is `text` (Windows-1251).
[[noreturn]] void RaiseErrorText(const std::string& text);

} // namespace quill::infra
