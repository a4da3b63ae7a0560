// The message table of the result codes, in Russian and English.
#pragma once

#include <cstdint>
#include <string>

namespace quill::infra {

// The template for `code` in the user's language (read anew on every call); never fails.
// Unknown codes give "Неизвестная ошибка (Код = %d)!" in Russian and
// "Unknown error (Code = <code>)!" in English.
std::u16string ErrorText(std::int32_t code);
// The table's texts in one language, without the language test; nullptr-free: empty when absent.
std::u16string RussianText(std::int32_t code, bool& known);
std::u16string EnglishText(std::int32_t code, bool& known);

} // namespace quill::infra
