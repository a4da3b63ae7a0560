#include "platform/kernel/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

using namespace quill::kernel;

namespace {

// The UTF-16 code unit iconv gives for one byte of `codePage`, or nothing if iconv rejects it.
std::optional<char16_t> IconvChar(unsigned char byte, const char* codePage = "CP1251") {
    iconv_t cd = iconv_open("UTF-16LE", codePage);
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* inp = in;
    char* outp = out;
    size_t inLeft = 1, outLeft = sizeof out;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || outLeft != sizeof out - 2) return std::nullopt;
    return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                 (static_cast<unsigned char>(out[1]) << 8));
}

// The Windows-1251 byte iconv gives for one UTF-16 code unit, or nothing if the code page lacks it.
std::optional<unsigned char> IconvByte(char16_t c) {
    iconv_t cd = iconv_open("CP1251", "UTF-16LE");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    char out[4] = {};
    char* inp = in;
    char* outp = out;
    size_t inLeft = 2, outLeft = sizeof out;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || outLeft != sizeof out - 1) return std::nullopt;
    return static_cast<unsigned char>(out[0]);
}

// The case partner of `byte` by the C library's Unicode tables, taken through iconv both ways:
// the byte itself when the partner has no place in the code page.
unsigned char ReferenceCase(unsigned char byte, bool upper, locale_t unicode) {
    const auto wide = IconvChar(byte);
    if (!wide) return byte;
    const auto mapped =
        static_cast<char16_t>(upper ? towupper_l(*wide, unicode) : towlower_l(*wide, unicode));
    if (mapped == *wide) return byte;
    return IconvByte(mapped).value_or(byte);
}

} // namespace

TEST(Codepage, EveryByteFoldsAsIconvAndTheUnicodeTablesSay) {
    locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    ASSERT_NE(unicode, static_cast<locale_t>(nullptr));
    int pairs = 0;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        EXPECT_EQ(AnsiUpper(byte), ReferenceCase(byte, true, unicode)) << "byte " << b;
        EXPECT_EQ(AnsiLower(byte), ReferenceCase(byte, false, unicode)) << "byte " << b;
        const char16_t wide = AnsiCharToWide(byte);
        EXPECT_EQ(WideUpper(wide), AnsiCharToWide(AnsiUpper(byte))) << "byte " << b;
        EXPECT_EQ(WideLower(wide), AnsiCharToWide(AnsiLower(byte))) << "byte " << b;
        if (AnsiLower(byte) != byte) ++pairs;
    }
    freelocale(unicode);
    // 26 Latin, 33 Russian and 14 further Cyrillic letters have partners.
    EXPECT_EQ(pairs, 73);
    const TCasePairs& all = WideCasePairs();
    ASSERT_EQ(all.Upper.size(), 73u);
    ASSERT_EQ(all.Lower.size(), 73u);
    for (std::size_t i = 0; i < all.Upper.size(); ++i) {
        EXPECT_EQ(WideLower(all.Upper[i]), all.Lower[i]);
        EXPECT_EQ(WideUpper(all.Lower[i]), all.Upper[i]);
    }
    EXPECT_TRUE(WideSameText(u"ЇЖАК ЄНОТ ІНЕЙ ЎЗОР ҐАНОК ЂАК ЉУБАВ",
                             u"їжак єнот іней ўзор ґанок ђак љубав"));
}

TEST(Codepage, EveryByteMatchesIconvAndRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::u16string wide = AnsiToWide(one);
        ASSERT_EQ(wide.size(), 1u);
        if (auto expected = IconvChar(static_cast<unsigned char>(b))) {
            EXPECT_EQ(wide[0], *expected) << "byte " << b;
        } else {
            // The one byte the code page leaves undefined maps to the C1 control, as on Windows.
            EXPECT_EQ(b, 0x98);
            EXPECT_EQ(wide[0], 0x0098);
        }
        EXPECT_EQ(WideToAnsi(wide), one) << "byte " << b;
    }
}

TEST(Codepage, EveryOemByteMatchesIconv) {
    for (int b = 0; b < 256; ++b) {
        const auto expected = IconvChar(static_cast<unsigned char>(b), "CP866");
        ASSERT_TRUE(expected) << "byte " << b;
        EXPECT_EQ(OemCharToWide(static_cast<unsigned char>(b)), *expected) << "byte " << b;
    }
}

TEST(Codepage, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(WideToAnsi(u"a\u4E2Db"), "a?b");
    EXPECT_EQ(WideToAnsi(u"\u00E9"), "?");
}

TEST(Codepage, Utf8RoundTripAndMalformedInput) {
    const std::u16string text = u"Сканер №1 \U0001F600";
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
    EXPECT_EQ(Utf8ToWide("\xD0"), u"\uFFFD");           // truncated sequence
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), u"\uFFFD\uFFFD"); // overlong form
    EXPECT_EQ(Utf8ToWide("a\xFF"
                         "b"),
              u"a\uFFFDb");
    EXPECT_EQ(WideToUtf8(std::u16string(1, 0xD800)), "\xEF\xBF\xBD");
}

TEST(Codepage, CaseFoldingCoversLatinAndCyrillicLetters) {
    EXPECT_TRUE(AnsiSameText(WideToAnsi(u"ВКЛЮЧИТЬ"), WideToAnsi(u"включить")));
    EXPECT_TRUE(AnsiSameText(WideToAnsi(u"Ёлка Ўў Її Ґ"), WideToAnsi(u"ёЛКА ўЎ її ґ")));
    EXPECT_TRUE(AnsiSameText("SwitchOn", "switchon"));
    EXPECT_FALSE(AnsiSameText(WideToAnsi(u"е"), WideToAnsi(u"ё")));
    EXPECT_EQ(AnsiUpperCase(WideToAnsi(u"сканер abc")), WideToAnsi(u"СКАНЕР ABC"));
    EXPECT_EQ(AnsiCompareText("abc", "ABD"), -1);
    EXPECT_EQ(AnsiCompareText("b", "A"), 1);
    EXPECT_EQ(AnsiCompareText(WideToAnsi(u"Я"), WideToAnsi(u"я")), 0);
    // The Latin-only forms leave Cyrillic letters alone.
    EXPECT_EQ(UpperCaseLatin(WideToAnsi(u"abc где")), WideToAnsi(u"ABC где"));
    EXPECT_FALSE(SameTextLatin(WideToAnsi(u"Где"), WideToAnsi(u"ГДЕ")));
    EXPECT_TRUE(WideSameText(u"Выключить", u"ВЫКЛЮЧИТЬ"));
    EXPECT_FALSE(WideSameText(u"a\u4E2D", u"A\u4E2E"));
}
