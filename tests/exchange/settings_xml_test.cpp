// Settings-XML access: the name tables and their checks, the digit-4 rule, selection and
// attributes by number, and the text utilities (ReplaceAll against a plain reference).
#include "exchange/xml/settings_xml.h"
#include "exchange/xml/text_utils.h"
#include "exchange/xml/xml_module.h"
#include "exchange/xml/xml_names.h"

#include "infra/codes/coded_exception.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/format_settings.h"

#include <gtest/gtest.h>

#include <random>

namespace quill::exchange {
namespace {

using com::OleVariant;
using kernel::WideToAnsi;

// Runs `body` and returns the message of the coded error 20000 it raises.
template <class Body> std::u16string CodedMessage(Body body) {
    try {
        body();
    } catch (const infra::ECodedException& e) {
        EXPECT_EQ(e.Code, 20000);
        return kernel::AnsiToWide(e.Message());
    }
    ADD_FAILURE() << "no coded error raised";
    return {};
}

TEST(XmlNames, NumbersOutsideTheTablesRaiseTheirMessages) {
    EXPECT_EQ(CodedMessage([] { NodeName(34); }), u"Индекс имени узла за пределами границы.");
    EXPECT_EQ(CodedMessage([] { NodeName(-1); }), u"Индекс имени узла за пределами границы.");
    EXPECT_EQ(CodedMessage([] { AttributeName(99); }),
              u"Индекс имени аттрибута за пределами границы.");
    EXPECT_EQ(CodedMessage([] { AttributeName(131); }),
              u"Индекс имени аттрибута за пределами границы.");
    EXPECT_EQ(CodedMessage([] { AttributeName(0); }),
              u"Индекс имени аттрибута за пределами границы.");
}

TEST(XmlNames, ARecordOutOfPlaceRaisesTheMismatch) {
    const TXmlNameRecord shifted[] = {{0, u"a", u"a"}, {2, u"b", u"b"}};
    EXPECT_EQ(LookupXmlName(shifted, 0, 0, u"range", u"mismatch"), u"a");
    EXPECT_EQ(CodedMessage([&] { LookupXmlName(shifted, 0, 1, u"range", u"mismatch"); }),
              u"mismatch");
    EXPECT_EQ(CodedMessage([&] { LookupXmlName(shifted, 0, 2, u"range", u"mismatch"); }), u"range");
}

TEST(XmlNames, TablesHoldTheNamesInDigit4Form) {
    EXPECT_EQ(AttributeName(102), u"Зна4ение");
    EXPECT_EQ(AttributeName(105), u"ФлагТолько4тение");
    EXPECT_EQ(AttributeName(118), u"Библиотека");
    EXPECT_EQ(AttributeName(130), u"Preference");
    EXPECT_EQ(NodeName(15), u"./Параметры/Параметр");
    EXPECT_EQ(NodeName(33), u"/Система/Решения/Решение/То4киДоступа");
    for (auto table : {NodeNameTable(), AttributeNameTable()}) {
        for (const TXmlNameRecord& r : table) {
            EXPECT_EQ(r.Name.find(u'ч'), std::u16string_view::npos) << r.Number;
            EXPECT_EQ(r.Name.find(u'Ч'), std::u16string_view::npos) << r.Number;
        }
    }
}

TEST(SettingsXml, Digit4RuleRenamesTagsAndAttributesNotValues) {
    std::u16string text =
        u"<То4киДоступа><ТочкаДоступа Значение=\"точка\" ФлагТолькоЧтение=\"1\" "
        u"ЗначениеПоУмолчанию=\"Значение\" КодТочкиДоступа=\"x\"/></ТочкиДоступа>";
    NormaliseSettingsText(text);
    EXPECT_EQ(text, u"<То4киДоступа><То4каДоступа Зна4ение=\"точка\" ФлагТолько4тение=\"1\" "
                    u"Зна4ениеПоУмол4анию=\"Значение\" КодТо4киДоступа=\"x\"/></То4киДоступа>");
    // Cyrillic letters must match exactly: another case is left alone.
    std::u16string other = u"<точкаДоступа значение=\"1\"/>";
    NormaliseSettingsText(other);
    EXPECT_EQ(other, u"<точкаДоступа значение=\"1\"/>");
}

TEST(SettingsXml, LoadSettingsTextNormalisesInPlaceAndDropsLineBreaksOnRequest) {
    std::u16string text = u"<Система>\r\n<Параметр Значение=\"a\r\nb\"/>\r\n</Система>";
    XmlNode root = LoadSettingsText(text, true);
    EXPECT_EQ(text, u"<Система><Параметр Зна4ение=\"ab\"/></Система>");
    EXPECT_EQ(root->NodeName(), u"Система");
    EXPECT_EQ(GetAttributeByNumber(SelectSingleNodeByNumber(root, 0), 102), u"ab");

    std::u16string kept = u"<a>\r\n<b/>\r\n</a>";
    LoadSettingsText(kept, false);
    EXPECT_EQ(kept, u"<a>\r\n<b/>\r\n</a>");

    std::u16string broken = u"<Система><Параметр></Система>";
    EXPECT_THROW(LoadSettingsText(broken, true), xml::EXmlParseError);
}

TEST(SettingsXml, NewDocumentHasDeclarationAndRoot) {
    XmlDocument doc = NewXmlDocument(NodeName(node::Model), XmlDeclaration());
    EXPECT_FALSE(doc->Async());
    doc->DocumentElement()->AppendChild(CreateElementByNumber(doc, node::Parameters));
    EXPECT_EQ(doc->Xml(),
              u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Модель><Параметры/></Модель>\r\n");
    EXPECT_EQ(NewXmlDocument(u"", u"")->Xml(), u"");
    EXPECT_EQ(XmlDeclaration(), u"version=\"1.0\" encoding=\"UTF-16\"");
}

TEST(SettingsXml, PathWithPredicateSelectsTheNarrowedClass) {
    std::u16string text =
        u"<Система><КлассыОборудования>"
        u"<КлассОборудования Код=\"A\"><Модель Идентификатор=\"m1\"/><Модель "
        u"Идентификатор=\"m2\"/></КлассОборудования>"
        u"<КлассОборудования Код=\"B\"><Модель Идентификатор=\"m3\"/></КлассОборудования>"
        u"</КлассыОборудования></Система>";
    XmlNode root = LoadSettingsText(text, false);
    TXmlNodeList models = SelectNodesByNumber(root, node::ClassModelPath, u"", u"[@Код=\"B\"]");
    ASSERT_EQ(models.Length(), 1u);
    EXPECT_EQ(GetAttributeByNumber(models.Item(0), attr::Identifier), u"m3");
    EXPECT_EQ(SelectNodesByNumber(root, node::ClassModelPath, u"[@Идентификатор=\"m2\"]").Length(),
              1u);
    EXPECT_EQ(SelectNodesByNumber(root, node::AnyModel).Length(), 3u);
    EXPECT_FALSE(SelectSingleNodeByNumber(root, node::DevicePath));
    EXPECT_THROW(SelectNodesByNumber(nullptr, node::AnyModel), xml::EXmlError);
}

TEST(SettingsXml, AttributesByNumberAndByText) {
    std::u16string text = u"<Модель Код=\"\" Наименование=\"Имя\"/>";
    XmlNode model = LoadSettingsText(text, false);
    EXPECT_EQ(GetAttributeByNumber(nullptr, attr::Name, u"def"), u"def");
    EXPECT_EQ(GetAttributeByNumber(model, attr::Name, u"def"), u"Имя");
    EXPECT_EQ(GetAttributeByNumber(model, attr::Id, u"def"), u"");
    EXPECT_EQ(GetAttributeByNumber(model, attr::Type, u"def"), u"def");
    EXPECT_EQ(GetAttributeText(model, WideToAnsi(u"Наименование")), u"Имя");
    EXPECT_EQ(GetAttributeText(nullptr, "x", u"d"), u"d");
    EXPECT_THROW(GetAttributeByNumber(model, 99), infra::ECodedException);
}

TEST(SettingsXml, SetAttributesByNumbersChecksLengthsFirstAndNumbersInTurn) {
    XmlDocument doc = NewXmlDocument(u"Параметр", u"");
    XmlNode element = doc->DocumentElement();
    const int three[] = {101, 103, 104};
    const OleVariant two[] = {OleVariant(u"id"), OleVariant(u"name")};
    EXPECT_EQ(CodedMessage([&] { SetAttributesByNumbers(element, three, two); }),
              u"Размерности массивов аттрибутов и значений не совпадают");
    EXPECT_EQ(element->Xml(), u"<Параметр/>");

    const int withBad[] = {101, 131, 104};
    const OleVariant values[] = {OleVariant(u"id"), OleVariant(u"x"), OleVariant(true)};
    EXPECT_THROW(SetAttributesByNumbers(element, withBad, values), infra::ECodedException);
    EXPECT_EQ(element->Xml(), u"<Параметр Идентификатор=\"id\"/>");

    const int good[] = {105, 106};
    const OleVariant goodValues[] = {OleVariant(true), OleVariant(7)};
    SetAttributesByNumbers(element, good, goodValues);
    EXPECT_EQ(element->Xml(),
              u"<Параметр Идентификатор=\"id\" ФлагТолько4тение=\"1\" Зна4ениеПоУмол4анию=\"7\"/>");
}

// A plain left-to-right replacement, the reference the searches must agree with.
template <class String>
String ReferenceReplace(const String& text, const String& search, const String& with,
                        bool exactCase) {
    using Char = typename String::value_type;
    auto fold = [&](Char c) { return (!exactCase && c >= 'a' && c <= 'z') ? Char(c - 32) : c; };
    String out;
    std::size_t i = 0;
    while (i < text.size()) {
        bool match = i + search.size() <= text.size();
        for (std::size_t j = 0; match && j < search.size(); ++j)
            match = fold(text[i + j]) == fold(search[j]);
        if (match) {
            out += with;
            i += search.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

TEST(TextUtils, ReplaceAllAgreesWithAPlainScan) {
    std::mt19937 random(12345);
    const std::string alphabet =
        "abAB\xe0\xc0\xf7"; // Latin letters of both cases, Cyrillic а/А and ч
    auto randomText = [&](std::size_t maxLength) {
        std::string s(random() % (maxLength + 1), ' ');
        for (char& c : s)
            c = alphabet[random() % alphabet.size()];
        return s;
    };
    for (int round = 0; round < 4000; ++round) {
        const std::string text = randomText(40);
        std::string search = randomText(4);
        if (search.empty()) search = "a";
        const std::string with = randomText(6);
        const bool exactCase = round % 2 == 0;
        ASSERT_EQ(ReplaceAll(text, search, with, exactCase),
                  ReferenceReplace(text, search, with, exactCase))
            << "text '" << text << "' search '" << search << "' with '" << with << "' exact "
            << exactCase;
    }
}

TEST(TextUtils, ReplaceAllOnUtf16AgreesWhereCharactersShareASkipSlot) {
    // 'A', U+0141, U+0441 and U+1041 share the low byte 0x41 of the skip table.
    const std::u16string alphabet = u"Aa\u0141\u0441\u1041b";
    std::mt19937 random(777);
    auto randomText = [&](std::size_t maxLength) {
        std::u16string s(random() % (maxLength + 1), u' ');
        for (char16_t& c : s)
            c = alphabet[random() % alphabet.size()];
        return s;
    };
    auto toBytes = [](const std::u16string& s) { // one byte per character, for the reference
        std::string out;
        for (char16_t c : s)
            out += c < 0x80 ? char(c) : char('0' + c / 0x100);
        return out;
    };
    for (int round = 0; round < 4000; ++round) {
        const std::u16string text = randomText(40);
        std::u16string search = randomText(4);
        if (search.empty()) search = u"A";
        const bool exactCase = round % 2 == 0;
        const std::u16string replaced = ReplaceAll(text, search, u"#", exactCase);
        ASSERT_EQ(toBytes(replaced),
                  ReferenceReplace(toBytes(text), toBytes(search), std::string("#"), exactCase));
    }
}

// UTF-16 texts are searched as bytes: characters whose bytes, read across a character boundary,
// spell the search text must never match.
TEST(TextUtils, ReplaceAllOnUtf16MatchesWholeCharactersOnly) {
    // Little-endian bytes: 'A' is 41 00, U+4100 is 00 41, U+4141 is 41 41, U+0100 is 00 01.
    const std::u16string alphabet = u"A\u4100\u4141\u0100a";
    std::mt19937 random(4242);
    auto randomText = [&](std::size_t minLength, std::size_t maxLength) {
        std::u16string s(minLength + random() % (maxLength - minLength + 1), u' ');
        for (char16_t& c : s)
            c = alphabet[random() % alphabet.size()];
        return s;
    };
    for (int round = 0; round < 4000; ++round) {
        const std::u16string text = randomText(0, 40);
        const std::u16string search = randomText(1, 3);
        const std::u16string with = randomText(0, 2);
        const bool exactCase = round % 2 == 0;
        ASSERT_EQ(ReplaceAll(text, search, with, exactCase),
                  ReferenceReplace(text, search, with, exactCase))
            << round;
    }
    EXPECT_EQ(ReplaceAll(u"\u4100\u0042", u"\u4241", u"x", true), u"\u4100\u0042");
    EXPECT_EQ(ReplaceAll(u"\u4100\u0042\u4241", u"\u4241", u"x", true), u"\u4100\u0042x");
}

// Long texts, so that occurrences start at every position within the blocks of characters the
// search tests together, straddle their edges, and fall in the tail after the last block.
TEST(TextUtils, ReplaceAllAgreesWithAPlainScanOverLongTexts) {
    std::mt19937 random(99);
    const std::string alphabet = "aAb\xe0=";
    const std::u16string alphabet16 = u"aAb\u0441=";
    for (int round = 0; round < 600; ++round) {
        const std::size_t length = 17 + random() % 300;
        std::string text(length, ' '), search(1 + random() % 5, ' ');
        std::u16string text16(length, u' '), search16(search.size(), u' ');
        for (std::size_t i = 0; i < length; ++i) {
            const std::size_t k = random() % alphabet.size();
            text[i] = alphabet[k];
            text16[i] = alphabet16[k];
        }
        for (std::size_t i = 0; i < search.size(); ++i) {
            const std::size_t k = random() % alphabet.size();
            search[i] = alphabet[k];
            search16[i] = alphabet16[k];
        }
        const bool exactCase = round % 2 == 0;
        ASSERT_EQ(ReplaceAll(text, search, std::string("<>"), exactCase),
                  ReferenceReplace(text, search, std::string("<>"), exactCase))
            << round;
        ASSERT_EQ(ReplaceAll(text16, search16, std::u16string(u"<>"), exactCase),
                  ReferenceReplace(text16, search16, std::u16string(u"<>"), exactCase))
            << round;
    }
}

TEST(TextUtils, ReplaceAllEdgeCases) {
    EXPECT_EQ(ReplaceAll("abc", "", "x", true), "abc");
    EXPECT_EQ(ReplaceAll("", "a", "x", true), "");
    EXPECT_EQ(ReplaceAll("aaaa", "aa", "b", true), "bb");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b", true), "ba");
    EXPECT_EQ(ReplaceAll("ab", "abc", "x", true), "ab");
    EXPECT_EQ(ReplaceAll("xAbCx", "abc", "", false), "xx");
    EXPECT_EQ(ReplaceAll("xAbCx", "abc", "", true), "xAbCx");
    // Cyrillic letters never match across case, not even with exactCase off.
    EXPECT_EQ(ReplaceAll(WideToAnsi(u"Ча ча"), WideToAnsi(u"ча"), "-", false), WideToAnsi(u"Ча -"));
    // UTF-16 characters that share a low byte with pattern characters (U+0441 and 'A').
    EXPECT_EQ(ReplaceAll(u"сAсAсA", u"Aс", u"-", true), u"с--A");
    EXPECT_EQ(ReplaceAll(std::u16string(u"ёa"), u"A", u"b", false), u"ёb");
    // Letters in either case at the end of the search text, where the scan stops.
    EXPECT_EQ(ReplaceAll("xyzXYZxYz", "yZ", "-", false), "x-X-x-");
    EXPECT_EQ(ReplaceAll(u"xyzXYZxYz", u"yZ", u"-", false), u"x-X-x-");
    // A search text with no Latin letter is the same with exactCase off.
    EXPECT_EQ(ReplaceAll(WideToAnsi(u"а=1 А=1"), WideToAnsi(u"а="), "#", false),
              WideToAnsi(u"#1 А=1"));
    // Growing and shrinking replacements at the text's ends.
    EXPECT_EQ(ReplaceAll("abab", "ab", "xyz", true), "xyzxyz");
    EXPECT_EQ(ReplaceAll("abab", "ab", "", true), "");
}

TEST(TextUtils, EscapeLineBreaksBothWays) {
    EXPECT_EQ(EscapeLineBreaks(std::string("a\r\nb\nc"), true), "a\\nb\nc");
    EXPECT_EQ(EscapeLineBreaks(std::string("a\\nb"), false), "a\r\nb");
    EXPECT_EQ(EscapeLineBreaks(std::string("C:\\new\\data"), false), "C:\\new\\data");
    EXPECT_EQ(EscapeLineBreaks(std::string("\\\\server\\name"), false), "\\\\server\\name");
    EXPECT_EQ(EscapeLineBreaks(std::u16string(u"x\\ny\\n"), false), u"x\r\ny\r\n");
    EXPECT_EQ(EscapeLineBreaks(std::u16string(u"строка\r\n"), true), u"строка\\n");
}

TEST(TextUtils, NormaliseGuidTextBracesAndCase) {
    const std::u16string braced = u"{70231714-9996-413c-bfbb-f504227138b8}";
    EXPECT_EQ(NormaliseGuidText(braced, true), u"70231714-9996-413C-BFBB-F504227138B8");
    EXPECT_EQ(NormaliseGuidText(u"  70231714-9996-413c-bfbb-f504227138b8 ", false),
              u"{70231714-9996-413C-BFBB-F504227138B8}");
    EXPECT_EQ(NormaliseGuidText(braced, false), u"{70231714-9996-413C-BFBB-F504227138B8}");
    EXPECT_EQ(NormaliseGuidText(std::string(" abc "), true), "ABC");
}

TEST(XmlModule, InitialisationSetsTheProcessFormats) {
    const kernel::FormatSettings saved = kernel::ProcessFormatSettings();
    kernel::ProcessFormatSettings() = kernel::FormatSettings{};
    kernel::ProcessFormatSettings().DecimalSeparator = '.';
    InitialiseSettingsXml();
    const kernel::FormatSettings& f = kernel::ProcessFormatSettings();
    EXPECT_EQ(f.DecimalSeparator, ',');
    EXPECT_EQ(f.DateSeparator, '.');
    EXPECT_EQ(f.ShortDateFormat, "dd.MM.yyyy");
    EXPECT_EQ(f.TimeSeparator, ':');
    EXPECT_EQ(f.ShortTimeFormat, "hh:mm");
    EXPECT_EQ(f.LongTimeFormat, "hh:mm:ss");
    kernel::ProcessFormatSettings() = saved;
}

} // namespace
} // namespace quill::exchange
