// The host's model interface (IPluModel) asking a real device list for the driver object and for
// devices: create-or-find, find, insert, remove, and the settings text, with the host's
// references outliving the devices' removal and the list itself.
#include "registry/device_fixture.h"

#include "exchange/module/plugin_control_holder.h"
#include "infra/codes/coded_exception.h"
#include "exchange/xml/settings_xml.h"
#include "infra/codes/message_table.h"
#include "infra/root/guid_text.h"
#include "platform/com/errorinfo.h"
#include "platform/xml/dom.h"

#include <gtest/gtest.h>
#include <thread>

using namespace quill;
using namespace quill::com;
using namespace quill::test;

namespace {

const char16_t* const kGuid = u"{0F1E2D3C-4B5A-4968-8776-655443322110}";

// A settings document of one device, as the host hands it over (a document object).
OleVariant DeviceDocument(const char16_t* guid, const char16_t* name) {
    auto document = exchange::CreateXmlDocument();
    document->LoadXml(std::u16string(u"<Устройство Код=\"") + guid + u"\" Наименование=\"" + name +
                      u"\"><Параметры><Параметр Идентификатор=\"HookPref\" "
                      u"Зна4ение=\"~\"/></Параметры></Устройство>");
    return xml::NodeToVariant(xml::XmlNode(document.Get()));
}

ComPtr<IPluModel> ModelOf(TTestDevicesList& list) {
    return ComPtr<IPluModel>(static_cast<IPluModel*>(list.ModelList().Items(0)));
}

ComPtr<IDeviceItem> Create(IPluModel& model, const OleVariant& settings) {
    IDeviceItem* device = nullptr;
    EXPECT_EQ(model.CreateDevice(&settings, &device), S_OK) << Ansi(TakeErrorDescription());
    return ComPtr<IDeviceItem>::Adopt(device);
}

std::u16string Identifier(IDeviceItem& device) {
    OleVariant settings;
    EXPECT_EQ(device.GetSettings(&settings), S_OK);
    auto document = xml::NodeFromVariant(settings);
    return static_cast<xml::TXmlDocument*>(document.Get())
        ->DocumentElement()
        ->GetAttribute(u"Наименование")
        .value_or(u"?");
}

} // namespace

TEST(ModelInterface, DriverObjectWithoutControlFailsWithItsCode) {
    ASSERT_EQ(exchange::PluginControlHolder(), nullptr);
    TTestDevicesList list;
    IDllObject* object = reinterpret_cast<IDllObject*>(&list); // must be overwritten
    EXPECT_TRUE(FAILED(ModelOf(list)->GetDllInterface(&object)));
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(TakeErrorDescription(), infra::ErrorText(infra::codes::NoDriverObject));
}

TEST(ModelInterface, CreateDeviceFindsTheDeviceOfTheSameCode) {
    TTestDevicesList list;
    auto model = ModelOf(list);
    const OleVariant settings = DeviceDocument(kGuid, u"Касса");
    auto first = Create(*model, settings);
    auto again = Create(*model, settings);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, again);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetItem(0)->GetParamStr("HookPref"), "~");
    // A text is no document to look a code up in: it always makes a new device.
    const OleVariant text(xml::NodeFromVariant(settings)->Xml());
    auto fromText = Create(*model, text);
    EXPECT_NE(fromText, first);
    EXPECT_EQ(list.Count(), 2);
}

TEST(ModelInterface, DeviceOfAnotherThreadIsReplacedButStaysValidForItsHolder) {
    TTestDevicesList list;
    auto model = ModelOf(list);
    const OleVariant settings = DeviceDocument(kGuid, u"Чужое");
    ComPtr<IDeviceItem> foreign;
    std::thread([&] { foreign = Create(*model, settings); }).join();
    ASSERT_EQ(list.Count(), 1);
    auto own = Create(*model, settings);
    EXPECT_NE(own, foreign);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(static_cast<IDeviceItem*>(list.GetItem(0)), own.Get());
    // The replaced device left the list but is whole for whoever still holds it.
    EXPECT_EQ(Identifier(*foreign), u"Чужое");
    std::int32_t closed = -1;
    EXPECT_EQ(foreign->Close(&closed), S_OK);
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(list.Count(), 1);
}

TEST(ModelInterface, FailedCreateLeavesNothingBehind) {
    TTestDevicesList list;
    auto model = ModelOf(list);
    const OleVariant bad(u"<Устройство Код=\"{not a guid}\"/>");
    IDeviceItem* device = reinterpret_cast<IDeviceItem*>(&list);
    EXPECT_TRUE(FAILED(model->CreateDevice(&bad, &device)));
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(TakeErrorDescription(), u"Значение не является идентификатором объекта.");
    device = reinterpret_cast<IDeviceItem*>(&list);
    EXPECT_TRUE(FAILED(model->AddDevice(&bad, &device)));
    EXPECT_EQ(device, nullptr);
    const OleVariant malformed(u"<Устройство");
    EXPECT_TRUE(FAILED(model->AddDevice(&malformed, &device)));
    EXPECT_EQ(list.Count(), 0);
}

TEST(ModelInterface, RemoveDeviceDetachesAndReportsWhetherItFoundOne) {
    TTestDevicesList list;
    auto model = ModelOf(list);
    auto device = Create(*model, DeviceDocument(kGuid, u"Весы"));
    const GUID guid = infra::GuidFromText(std::u16string_view(kGuid));
    std::int32_t result = 5;
    EXPECT_EQ(model->RemoveDevice(&guid, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.FindByGuid(guid), nullptr);
    EXPECT_EQ(model->RemoveDevice(&guid, &result), S_OK);
    EXPECT_EQ(result, -1);
    // The host's reference still reaches a whole device.
    EXPECT_EQ(Identifier(*device), u"Весы");
    std::int16_t enabled = 1;
    EXPECT_EQ(device->GetEnabled(&enabled), S_OK);
    EXPECT_EQ(enabled, 0);
}

TEST(ModelInterface, SetSettingsStoresTextOrTheDocumentsXml) {
    TTestDevicesList list;
    auto model = ModelOf(list);
    const OleVariant text(u"<Система Имя=\"Текст\"/>");
    EXPECT_EQ(model->SetSettings(&text), S_OK);
    EXPECT_EQ(list.SettingsText(), Ansi(u"<Система Имя=\"Текст\"/>"));
    auto document = exchange::CreateXmlDocument();
    document->LoadXml(u"<Система Имя=\"Документ\"/>");
    const OleVariant object = xml::NodeToVariant(xml::XmlNode(document.Get()));
    EXPECT_EQ(model->SetSettings(&object), S_OK);
    EXPECT_EQ(list.SettingsText(), Ansi(document->Xml()));
    const OleVariant number(7);
    EXPECT_EQ(model->SetSettings(&number), S_OK);
    EXPECT_EQ(list.SettingsText(), Ansi(document->Xml()));
}

TEST(ModelInterface, FindDeviceGivesNilWhenThereIsNone) {
    TTestDevicesList list;
    auto model = ModelOf(list);
    const OleVariant settings = DeviceDocument(kGuid, u"Принтер");
    IDeviceItem* found = reinterpret_cast<IDeviceItem*>(&list);
    EXPECT_EQ(model->FindDevice(&settings, &found), S_OK);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(list.Count(), 0);
    auto created = Create(*model, settings);
    EXPECT_EQ(model->FindDevice(&settings, &found), S_OK);
    EXPECT_EQ(found, created.Get());
    ComPtr<IDeviceItem>::Adopt(found);
}

TEST(ModelInterface, AddDeviceInsertsAtTheFront) {
    TTestDevicesList list;
    auto model = ModelOf(list);
    auto back = Create(*model, DeviceDocument(kGuid, u"Задний"));
    const OleVariant settings =
        DeviceDocument(u"{11111111-0000-4000-8000-000000000001}", u"Передний");
    IDeviceItem* added = nullptr;
    ASSERT_EQ(model->AddDevice(&settings, &added), S_OK);
    auto front = ComPtr<IDeviceItem>::Adopt(added);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(static_cast<IDeviceItem*>(list.GetItem(0)), front.Get());
    EXPECT_EQ(list.GetItem(0)->Identifier(), Ansi(u"Передний"));
    // Inserting does not look the code up: the same settings again give a second device.
    ASSERT_EQ(model->AddDevice(&settings, &added), S_OK);
    ComPtr<IDeviceItem>::Adopt(added);
    EXPECT_EQ(list.Count(), 3);
}

TEST(ModelInterface, ReferencesOutliveTheList) {
    ComPtr<IPluModel> model;
    ComPtr<IDeviceItem> device;
    {
        TTestDevicesList list;
        model = ModelOf(list);
        device = Create(*model, DeviceDocument(kGuid, u"Сканер"));
    }
    EXPECT_EQ(Identifier(*device), u"Сканер");
    std::int32_t closed = -1;
    EXPECT_EQ(device->Close(&closed), S_OK);
    const OleVariant settings = DeviceDocument(kGuid, u"Сканер");
    IDeviceItem* created = nullptr;
    EXPECT_TRUE(FAILED(model->CreateDevice(&settings, &created)));
    EXPECT_EQ(created, nullptr);
    EXPECT_EQ(TakeErrorDescription(), infra::ErrorText(infra::codes::NoDriverObject));
}
