#include "registry/device_fixture.h"

#include "exchange/xml/settings_xml.h"
#include "infra/root/guid_text.h"
#include "platform/xml/dom.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::com;
using namespace quill::test;
using registry::TDeviceItem;

namespace {

std::u16string XmlOf(const OleVariant& document) { return xml::NodeFromVariant(document)->Xml(); }

const char16_t* kGuid = u"{70231714-9996-413C-BFBB-F504227138B8}";

} // namespace

TEST(DeviceSettings, DocumentHoldsIdentityThenParametersInRowOrder) {
    TTestDevicesList list;
    TDeviceItem* d = NewDevice(list);
    d->SetParamStr("HookPref", "#");
    const std::u16string text = XmlOf(d->BuildSettingsDocument());
    EXPECT_EQ(text.rfind(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>", 0), 0u);
    const std::u16string root = u"<Устройство Код=\"" + infra::GuidToText(d->Guid()) +
                                u"\" КодМодели=\"{11111111-2222-3333-4444-555555555555}\" "
                                u"Наименование=\"Тестовый сканер №1\" КодТо4киДоступа=\"\">";
    EXPECT_NE(text.find(root), std::u16string::npos) << kernel::WideToUtf8(text);
    const auto use = text.find(u"Идентификатор=\"Использовать\" Зна4ение=\"1\"");
    const auto pref = text.find(u"Идентификатор=\"HookPref\" Зна4ение=\"#\"");
    const auto timeout = text.find(u"Идентификатор=\"HookTimeOut\" Зна4ение=\"65\"");
    ASSERT_NE(use, std::u16string::npos);
    ASSERT_NE(pref, std::u16string::npos);
    ASSERT_NE(timeout, std::u16string::npos);
    EXPECT_LT(use, pref);
    EXPECT_LT(pref, timeout);
}

TEST(DeviceSettings, LoadingTheDocumentReproducesTheDevice) {
    TTestDevicesList list;
    TDeviceItem* source = NewDevice(list);
    source->SetParamStr("HookPref", "line1\r\nline2");
    source->SetIdentifier(Ansi(u"Касса"));
    const OleVariant document = source->BuildSettingsDocument();

    TTestDevicesList other;
    TDeviceItem* copy = NewDevice(other);
    EXPECT_EQ(copy->LoadDeviceSettings(document), 0);
    EXPECT_EQ(copy->Guid(), source->Guid());
    EXPECT_EQ(copy->Identifier(), Ansi(u"Касса"));
    EXPECT_EQ(copy->GetParamStr("HookPref"), "line1\r\nline2");
    EXPECT_EQ(other.FindByGuid(source->Guid()), copy); // the GUID index follows the load

    TDeviceItem* fromText = NewDevice(other);
    EXPECT_EQ(fromText->LoadDeviceSettings(OleVariant(XmlOf(document))), 0);
    EXPECT_EQ(fromText->GetParamStr("HookPref"), "line1\r\nline2");
}

TEST(DeviceSettings, SystemRootAndRegularLetterSpellingsLoad) {
    TTestDevicesList list;
    TDeviceItem* d = NewDevice(list);
    const std::u16string text = std::u16string(u"<Система><Оборудование><Устройство Код=\"") + kGuid +
                                u"\" Наименование=\"Сканер A\"><Параметры>"
                                u"<Параметр Идентификатор=\"HookPref\" Значение=\"*\"/>"
                                u"<Параметр Идентификатор=\"Extra\" Зна4ение=\"x\"/>"
                                u"</Параметры></Устройство></Оборудование></Система>";
    EXPECT_EQ(d->LoadDeviceSettings(OleVariant(text)), 0);
    EXPECT_EQ(infra::GuidToText(d->Guid()), kGuid);
    EXPECT_EQ(d->Identifier(), Ansi(u"Сканер A"));
    EXPECT_EQ(d->GetParamStr("HookPref"), "*");
    EXPECT_EQ(d->GetParamStr("Extra"), "x"); // a name without a row gets one
}

TEST(DeviceSettings, OlderLayoutTakesTheIdentifierFromTheDescription) {
    TTestDevicesList list;
    TDeviceItem* d = NewDevice(list);
    const std::u16string text = std::u16string(u"<Устройство Код=\"") + kGuid +
                                u"\" Описание=\"Старый\"><Параметры><ComPort><Item Имя=\"Port\" "
                                u"Зна4ение=\"COM1\"/></ComPort><Дополнительно><Item Имя=\"HookPref\" "
                                u"Зна4ение=\"%\"/></Дополнительно></Параметры></Устройство>";
    d->LoadDeviceSettings(OleVariant(text));
    EXPECT_EQ(d->Identifier(), Ansi(u"Старый"));
    EXPECT_EQ(d->GetParamStr("HookPref"), "%");
    EXPECT_EQ(d->FindParam("Port"), nullptr); // the port group only reaches the extra-list hook
}

TEST(DeviceSettings, BadInputFailsAndKeepsWhatTheDeviceHad) {
    TTestDevicesList list;
    TDeviceItem* d = NewDevice(list);
    const GUID before = d->Guid();
    EXPECT_THROW(d->LoadDeviceSettings(OleVariant(u"<Устройство Код=")), xml::EXmlParseError);
    EXPECT_EQ(d->Guid(), before);
    try {
        d->LoadDeviceSettings(OleVariant(u"<Устройство Код=\"nonsense\"/>"));
        FAIL();
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), Ansi(u"Значение не является идентификатором объекта."));
    }
    EXPECT_EQ(d->Guid(), before);
    EXPECT_EQ(d->LoadDeviceSettings(OleVariant(5)), 0); // neither text nor document
    EXPECT_EQ(d->LoadDeviceSettings(OleVariant(u"<Другое/>")), 0);
}
