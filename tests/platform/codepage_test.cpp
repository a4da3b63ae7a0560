#include "platform/kernel/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

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

} // namespace

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
