// Text encodings: Windows-1251 (the library's 8-bit texts), UTF-16 (interfaces, documents) and
// UTF-8 (the Linux side: libxml2, file names, terminals), and case folding.
//
// Windows-1251 maps every byte; byte 0x98, which the code page leaves undefined, maps to U+0098
// as the platform's converter does. UTF-16 characters without a Windows-1251 byte become "?".
// Case-insensitive comparison folds Latin and Cyrillic letters of the code page (Ё/ё and the other
// Cyrillic letters of 0x80..0xBF included); the "user's locale" and the Russian locale fold alike.
// All functions are pure and thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace quill::kernel {

// Windows-1251 <-> UTF-16 (MultiByteToWideChar / WideCharToMultiByte with code page 1251).
std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);
char16_t AnsiCharToWide(unsigned char c);
// One byte of code page 866, the OEM code page that goes with Windows-1251 (Alt codes without a
// leading zero type its characters).
char16_t OemCharToWide(unsigned char c);

// UTF-8 <-> UTF-16. Malformed input becomes U+FFFD; unpaired surrogates are encoded as U+FFFD.
std::u16string Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::u16string_view text);

// Windows-1251 <-> UTF-8 through UTF-16.
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);

// Case of one Windows-1251 byte: every letter of the code page that has a case partner in it
// (Latin, Russian, and the other Cyrillic letters such as Ґ, Є, І, Ї, Ў, Ђ, Љ).
unsigned char AnsiUpper(unsigned char c);
unsigned char AnsiLower(unsigned char c);
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);
// Equality and order ignoring the case of Latin and Cyrillic letters (CompareString with
// NORM_IGNORECASE). AnsiCompareText returns -1, 0 or 1.
bool AnsiSameText(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);

// Latin letters a-z only (the run-time library's UpperCase / SameText).
std::string UpperCaseLatin(std::string_view text);
bool SameTextLatin(std::string_view a, std::string_view b);

// UTF-16 forms of the same folding (characters outside Windows-1251 compare exactly).
char16_t WideUpper(char16_t c);
char16_t WideLower(char16_t c);
std::u16string WideUpperCase(std::u16string_view text);
std::u16string WideLowerCase(std::u16string_view text);
bool WideSameText(std::u16string_view a, std::u16string_view b);

// Every letter pair that the folding above knows, as two aligned UTF-16 texts (Upper[i] and
// Lower[i] are partners), in the code page's byte order of the upper-case letter. Code that must
// spell the folding out (an XPath translate(), for one) takes its alphabets from here.
struct TCasePairs {
    std::u16string Upper;
    std::u16string Lower;
};
const TCasePairs& WideCasePairs();

} // namespace quill::kernel
