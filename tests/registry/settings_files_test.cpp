// Settings files as people write them: indented by hand with LF or CR LF line ends, tabs, a byte
// order mark, empty groups written every way, control characters in names and values. The tree a
// loader sees does not depend on the layout of the text, and one device's bad text costs no other
// device anything.
#include "registry/device_fixture.h"

#include "infra/root/guid_text.h"
#include "platform/xml/dom.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using namespace quill;
using namespace quill::com;
using namespace quill::test;
using registry::TDeviceItem;

namespace {

const std::u16string kGuidA = u"{70231714-9996-413C-BFBB-F504227138B8}";
const std::u16string kGuidB = u"{0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}";

// A current-layout device with an empty ComPort group written as `comPort`, its lines joined by
// `lineEnd` and indented by `indent`.
std::u16string CurrentLayout(std::u16string_view comPort, std::u16string_view lineEnd,
                             std::u16string_view indent) {
    const std::u16string i(indent), e(lineEnd);
    return u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + e + u"<Устройство Код=\"" + kGuidA +
           u"\" Наименование=\"Касса 2\" Описание=\"\">" + e + i + u"<Параметры>" + e + i + i +
           u"<Параметр Идентификатор=\"HookPref\" Зна4ение=\"##\"/>" + e + i + i +
           u"<Параметр Идентификатор=\"HookTimeOut\" Зна4ение=\"90\"/>" + e + i + i +
           std::u16string(comPort) + e + i + u"</Параметры>" + e + u"</Устройство>" + e;
}

struct TLayout {
    std::u16string_view LineEnd;
    std::u16string_view Indent;
};

constexpr TLayout kLayouts[] = {
    {u"", u""}, {u"\n", u"  "}, {u"\r\n", u"    "}, {u"\n", u"\t"}, {u"\r\n", u"\t  "},
};

constexpr std::u16string_view kEmptyGroups[] = {
    u"<ComPort/>",
    u"<ComPort></ComPort>",
    u"<ComPort>   </ComPort>",
    u"<ComPort>\n</ComPort>",
    u"<ComPort>\r\n\t\t</ComPort>",
    u"<ComPort>\n  \n\t</ComPort>",
};

} // namespace

TEST(SettingsFiles, CurrentLayoutLoadsTheSameHoweverItIsIndented) {
    for (const TLayout& layout : kLayouts) {
        for (std::u16string_view group : kEmptyGroups) {
            for (bool bom : {false, true}) {
                std::u16string text = CurrentLayout(group, layout.LineEnd, layout.Indent);
                if (bom) text.insert(text.begin(), u'\uFEFF');
                TTestDevicesList list;
                TDeviceItem* d = NewDevice(list);
                SCOPED_TRACE(kernel::WideToUtf8(text));
                ASSERT_EQ(d->LoadDeviceSettings(OleVariant(text)), 0);
                EXPECT_EQ(infra::GuidToText(d->Guid()), kGuidA);
                EXPECT_EQ(d->Identifier(), Ansi(u"Касса 2"));
                EXPECT_EQ(d->GetParamStr("HookPref"), "##");
                EXPECT_EQ(d->GetParamInt("HookTimeOut"), 90);

                // The document object the host hands over is read alike.
                auto document = xml::CreateDomObject(u"Msxml2.DOMDocument");
                document->LoadXml(text);
                TDeviceItem* fromObject = NewDevice(list);
                ASSERT_EQ(fromObject->LoadDeviceSettings(
                              xml::NodeToVariant(xml::XmlNode(document.Get()))),
                          0);
                EXPECT_EQ(fromObject->Identifier(), Ansi(u"Касса 2"));
                EXPECT_FALSE(TDeviceItem::IsOlderLayout(document->DocumentElement()));
            }
        }
    }
}

TEST(SettingsFiles, OlderLayoutIndentedByHandStillLoadsAsTheOlderLayout) {
    for (const TLayout& layout : kLayouts) {
        const std::u16string e(layout.LineEnd), i(layout.Indent);
        const std::u16string text =
            u"<Устройство Код=\"" + kGuidB + u"\" Описание=\"Весы 1\">" + e + i + u"<Параметры>" +
            e + i + i + u"<ComPort>" + e + i + i + i + u"<Item Имя=\"Port\" Зна4ение=\"3\"/>" + e +
            i + i + u"</ComPort>" + e + i + i + u"<Дополнительно>" + e + i + i + i +
            u"<Item Имя=\"HookPref\" Зна4ение=\"$\"/>" + e + i + i + u"</Дополнительно>" + e + i +
            u"</Параметры>" + e + u"</Устройство>";
        TTestDevicesList list;
        TDeviceItem* d = NewDevice(list);
        ASSERT_EQ(d->LoadDeviceSettings(OleVariant(text)), 0);
        EXPECT_EQ(d->Identifier(), Ansi(u"Весы 1"));
        EXPECT_EQ(d->GetParamStr("HookPref"), "$");
    }
}

// A whole list written by hand: every device loads, and the indentation is no device's content.
TEST(SettingsFiles, IndentedListLoadsEveryDevice) {
    for (const TLayout& layout : kLayouts) {
        const std::u16string e(layout.LineEnd), i(layout.Indent);
        std::u16string text = u"<Система>" + e + i + u"<Оборудование>" + e;
        for (const std::u16string& guid : {kGuidA, kGuidB}) {
            text += i + i + u"<Устройство Код=\"" + guid + u"\" Наименование=\"N" +
                    guid.substr(1, 2) + u"\">" + e + i + i + i + u"<Параметры>" + e + i + i + i +
                    i + u"<Параметр Идентификатор=\"HookPref\" Зна4ение=\" p q \"/>" + e + i + i +
                    i + i + u"<ComPort>" + e + i + i + i + i + u"</ComPort>" + e + i + i + i +
                    u"</Параметры>" + e + i + i + u"</Устройство>" + e;
        }
        text += i + u"</Оборудование>" + e + u"</Система>" + e;
        TTestDevicesList list;
        list.LoadList(OleVariant(text));
        ASSERT_EQ(list.Count(), 2);
        EXPECT_EQ(list.GetItem(0)->Identifier(), "N70");
        EXPECT_EQ(list.GetItem(1)->Identifier(), "N0A");
        EXPECT_EQ(list.GetItem(1)->GetParamStr("HookPref"), " p q "); // kept exactly
    }
}

// Names and values may hold any control character 1..31, written as character references; raw in
// the text they are not XML, and the load fails naming where.
TEST(SettingsFiles, ControlCharactersInNamesAndValues) {
    for (int c = 1; c < 32; ++c) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "&#x%X;", c);
        const std::u16string reference(hex, hex + std::strlen(hex));
        const std::u16string text = u"<Устройство Код=\"" + kGuidA + u"\" Наименование=\"a" +
                                    reference +
                                    u"b\"><Параметры><Параметр "
                                    u"Идентификатор=\"HookPref\" Зна4ение=\"" +
                                    reference + u"\"/></Параметры></Устройство>";
        TTestDevicesList list;
        TDeviceItem* d = NewDevice(list);
        ASSERT_EQ(d->LoadDeviceSettings(OleVariant(text)), 0) << c;
        const char ch = static_cast<char>(c);
        EXPECT_EQ(d->Identifier(), std::string("a") + ch + "b") << c;
        EXPECT_EQ(d->FindParam("HookPref")->Value, std::string(1, ch)) << c;
    }
    TTestDevicesList list;
    TDeviceItem* d = NewDevice(list);
    const std::string before = d->Identifier();
    const std::u16string raw = u"<Устройство Код=\"" + kGuidA + u"\"\n Наименование=\"a\x01b\"/>";
    try {
        d->LoadDeviceSettings(OleVariant(raw));
        FAIL() << "a raw control character loaded";
    } catch (const xml::EXmlParseError& e) {
        EXPECT_EQ(e.Line(), 2);
        EXPECT_FALSE(e.Reason().empty());
    }
    EXPECT_EQ(d->Identifier(), before);
}

namespace {

std::u16string EveryControlCharacter() {
    std::u16string all;
    for (char16_t c = 1; c < 32; ++c)
        all += c;
    return all + u"\r\n";
}

xml::XmlNode ListOf(const OleVariant& result) {
    auto node = xml::NodeFromVariant(result);
    EXPECT_TRUE(node);
    return node ? static_cast<xml::TXmlDocument*>(node.Get())->DocumentElement() : nullptr;
}

} // namespace

// The list holds a copy of each device's own settings element, and control characters in names and
// values survive the round trip through the list's text.
TEST(ListExport, CopiesEachDevicesElementAndSurvivesItsOwnText) {
    TTestDevicesList list;
    TDeviceItem* plain = NewDevice(list);
    TDeviceItem* odd = NewDevice(list);
    const std::string controls = Ansi(EveryControlCharacter());
    odd->SetIdentifier("odd" + controls);
    odd->SetParamStr("HookPref", controls);
    odd->Params().SetValueByName("Raw", controls);

    OleVariant result;
    ASSERT_EQ(list.GetDeviceSettings(OleVariant(u"EquList"), result), 0);
    xml::XmlNode root = ListOf(result);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->NodeName(), u"EquList");
    const auto devices = root->SelectNodes(u"Устройство");
    ASSERT_EQ(devices.Length(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const OleVariant own = list.GetItem(static_cast<int>(i))->BuildSettingsDocument();
        auto ownRoot =
            static_cast<xml::TXmlDocument*>(xml::NodeFromVariant(own).Get())->DocumentElement();
        EXPECT_EQ(devices.Item(i)->Xml(), ownRoot->Xml());
    }

    const std::u16string text = xml::NodeFromVariant(result)->Xml();
    TTestDevicesList reloaded;
    reloaded.LoadList(OleVariant(text));
    ASSERT_EQ(reloaded.Count(), 2);
    const TDeviceItem* back = reloaded.FindByGuid(odd->Guid());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Identifier(), odd->Identifier());
    EXPECT_EQ(back->FindParam("HookPref")->Value, odd->FindParam("HookPref")->Value);
    EXPECT_EQ(back->FindParam("Raw")->Value, controls);
    EXPECT_EQ(reloaded.FindByGuid(plain->Guid())->Identifier(), plain->Identifier());
}

// U+0000 cannot be carried by XML: that device's own document fails naming the attribute, and the
// list leaves the device out, names it in a comment where it would stand, and keeps the others.
TEST(ListExport, ADeviceXmlCannotCarryIsNamedAndTheOthersStillExport) {
    TTestDevicesList list;
    TDeviceItem* first = NewDevice(list);
    TDeviceItem* bad = NewDevice(list);
    TDeviceItem* last = NewDevice(list);
    bad->SetIdentifier("bad--device");
    bad->SetParamStr("HookPref", std::string("a\0b", 3));

    OleVariant own;
    try {
        list.GetDeviceSettings(OleVariant(infra::GuidToText(bad->Guid())), own);
        FAIL() << "a value with U+0000 was written";
    } catch (const xml::EXmlError& e) {
        EXPECT_NE(e.Message().find("U+0000"), std::string::npos) << e.Message();
    }

    OleVariant result;
    ASSERT_EQ(list.GetDeviceSettings(OleVariant(u"EquList"), result), 0);
    const std::u16string text = xml::NodeFromVariant(result)->Xml();
    EXPECT_NE(text.find(u"<!-- Устройство \"bad- -device\" " + infra::GuidToText(bad->Guid()) +
                        u" не выгружено: "),
              std::u16string::npos)
        << kernel::WideToUtf8(text);
    TTestDevicesList reloaded;
    reloaded.LoadList(OleVariant(text));
    ASSERT_EQ(reloaded.Count(), 2);
    EXPECT_TRUE(reloaded.FindByGuid(first->Guid()));
    EXPECT_TRUE(reloaded.FindByGuid(last->Guid()));
    EXPECT_FALSE(reloaded.FindByGuid(bad->Guid()));
}
