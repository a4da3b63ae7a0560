#include "registry/device_fixture.h"

#include "exchange/collections/model_list.h"
#include "infra/root/module_path.h"
#include "exchange/xml/settings_xml.h"
#include "infra/root/guid_text.h"
#include "platform/xml/dom.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::com;
using namespace quill::test;
using registry::TDeviceItem;

namespace {

std::u16string XmlOf(const OleVariant& document) {
    return xml::NodeFromVariant(document)->Xml();
}

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
    const std::u16string text = std::u16string(u"<Система><Оборудование><Устройство Код=\"") +
                                kGuid +
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
    const std::u16string text =
        std::u16string(u"<Устройство Код=\"") + kGuid +
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

TEST(DeviceSettings, RowsAddedByALoadTakeTheirDescriptionFromTheHostsModel) {
    TTestDevicesList list;
    const std::string path = infra::ModuleFileName();
    const std::u16string file = Wide(path.substr(path.find_last_of('/') + 1));
    const std::u16string model = u"{5A5A5A5A-1111-4222-8333-944444444444}";
    auto models = [&](const std::u16string& library) {
        return u"<Система><КлассыОборудования><КлассОборудования Идентификатор=\"Сканер\">"
               u"<Модель Код=\"" +
               model + u"\" Идентификатор=\"M\" Библиотека=\"" + library +
               u"\" Состояние=\"0\"><Параметры>"
               u"<Параметр Идентификатор=\"Extra\" Наименование=\"Доп\" Тип=\"Integer\" "
               u"Зна4ениеПоУмол4анию=\"4\" ФлагТолько4тение=\"1\" Описание=\"desc\"/>"
               u"<Параметр Идентификатор=\"HookPref\" Наименование=\"Чужой\" Тип=\"Boolean\"/>"
               u"</Параметры></Модель></КлассОборудования></КлассыОборудования></Система>";
    };
    const std::u16string device =
        u"<Устройство Код=\"" + std::u16string(kGuid) + u"\" КодМодели=\"" + model +
        u"\"><Параметры><Параметр Идентификатор=\"Extra\" Зна4ение=\"7\"/>"
        u"<Параметр Идентификатор=\"HookPref\" Зна4ение=\"~\"/></Параметры></Устройство>";
    list.LoadModelList(OleVariant(models(file)));
    ASSERT_NE(list.HostModels(), nullptr);
    ASSERT_EQ(list.HostModels()->Count(), 1);
    TDeviceItem* device1 = NewDevice(list);
    device1->LoadDeviceSettings(OleVariant(device));
    const registry::TPropItem* extra = device1->FindParam("Extra");
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(extra->Name, Ansi(u"Доп"));
    EXPECT_EQ(extra->TypeName, "Integer");
    EXPECT_TRUE(extra->ReadOnly);
    EXPECT_EQ(extra->DefaultValue, "4");
    EXPECT_EQ(extra->Description, "desc");
    EXPECT_EQ(extra->Value, "7");
    // A row the device already described keeps its own description.
    EXPECT_EQ(device1->FindParam("HookPref")->TypeName, "String");

    // Models of another library are not read; loading a list drops the host's models.
    list.LoadModelList(OleVariant(models(u"Other.plu")));
    EXPECT_EQ(list.HostModels()->Count(), 0);
    TDeviceItem* device2 = NewDevice(list);
    device2->LoadDeviceSettings(OleVariant(device));
    EXPECT_EQ(device2->FindParam("Extra")->TypeName, "");
    list.LoadList(OleVariant(u"<Система/>"));
    EXPECT_EQ(list.HostModels(), nullptr);
}

// The parameter lookup of a load (an index, so that many parameters load in linear time) finds
// rows as the list's own lookup does: by name or alias, ignoring case, the first row that answers.
TEST(DeviceSettings, ManyParametersFindTheirRowsByNameOrAliasInAnyCase) {
    TTestDevicesList list;
    TDeviceItem* d = NewDevice(list);
    std::u16string text = std::u16string(u"<Устройство Код=\"") + kGuid + u"\"><Параметры>";
    for (int i = 0; i < 3000; ++i) {
        const std::string n = std::to_string(i);
        text += u"<Параметр Идентификатор=\"P" + std::u16string(n.begin(), n.end()) +
                u"\" Зна4ение=\"" + std::u16string(n.begin(), n.end()) + u"\"/>";
    }
    text += u"<Параметр Идентификатор=\"hookpref\" Зна4ение=\"a\"/>"
            u"<Параметр Идентификатор=\"USABLE\" Зна4ение=\"0\"/>"
            u"<Параметр Идентификатор=\"p7\" Зна4ение=\"seven\"/>"
            u"<Параметр Идентификатор=\"HookPref\" Зна4ение=\"b\"/>"
            u"</Параметры></Устройство>";
    const int rowsBefore = d->Params().Count();
    ASSERT_EQ(d->LoadDeviceSettings(OleVariant(text)), 0);
    EXPECT_EQ(d->Params().Count(), rowsBefore + 3000);
    EXPECT_EQ(d->GetParamStr("HookPref"), "b");            // the last of two spellings
    EXPECT_EQ(d->GetParamStr(Ansi(u"Использовать")), "0"); // by its alias
    EXPECT_EQ(d->GetParamStr("P7"), "seven");              // a row the same load added
    EXPECT_EQ(d->GetParamStr("P2999"), "2999");
    EXPECT_EQ(d->Params().PropertyAt(rowsBefore)->Identifier, "P0"); // new rows in order
}
