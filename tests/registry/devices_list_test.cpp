#include "registry/device_fixture.h"

#include "exchange/xml/settings_xml.h"
#include "infra/root/guid_text.h"
#include "platform/xml/dom.h"

#include <gtest/gtest.h>
#include <thread>

using namespace quill;
using namespace quill::com;
using namespace quill::test;
using registry::TDeviceItem;

namespace {

std::u16string DeviceText(const char16_t* guid, const char16_t* name) {
    return std::u16string(u"<Устройство Код=\"") + guid + u"\" Наименование=\"" + name + u"\"/>";
}

} // namespace

TEST(DevicesList, ProposesTheFirstFreeInstanceNumber) {
    TTestDevicesList list;
    TDeviceItem* first = NewDevice(list);
    TDeviceItem* second = NewDevice(list);
    NewDevice(list);
    EXPECT_EQ(second->Identifier(), Prefix() + "2");
    second->SetIdentifier("other");
    EXPECT_EQ(list.ProposeIdentifier(""), Prefix() + "2");
    EXPECT_EQ(list.ProposeIdentifier(first->Identifier()), Prefix() + "1");
    // Identifiers compare ignoring case.
    second->SetIdentifier(kernel::AnsiUpperCase(Prefix() + "2"));
    EXPECT_EQ(list.ProposeIdentifier(""), Prefix() + "4");
    second->CloseItem();
    EXPECT_EQ(list.ProposeIdentifier(""), Prefix() + "2");
}

TEST(DevicesList, SelectsByPositionOrIdentifier) {
    TTestDevicesList list;
    NewDevice(list);
    TDeviceItem* last = NewDevice(list);
    for (int n : {0, -1, 3})
        EXPECT_EQ(list.SelectDevice(OleVariant(n)), 3) << n;
    last->SetError(5);
    EXPECT_EQ(list.SelectDevice(OleVariant(2)), 0);
    EXPECT_EQ(list.Current(), 2);
    EXPECT_EQ(last->ErrorCode(), 0);
    EXPECT_EQ(
        list.SelectDevice(OleVariant(kernel::AnsiToWide(kernel::AnsiUpperCase(Prefix() + "1")))),
        0);
    EXPECT_EQ(list.Current(), 1);
    EXPECT_EQ(list.SelectDevice(OleVariant(u"none")), 3);
    EXPECT_EQ(list.SelectDevice(OleVariant(1.0)), 3);
    last->SetIdentifier(Ansi(u"Scanner Сканер"));
    EXPECT_EQ(list.FindByIdentifier(Ansi(u"SCANNER Сканер")), last);
    EXPECT_EQ(list.FindByIdentifier(Ansi(u"Scanner СКАНЕР")), nullptr);
}

TEST(DevicesList, DeviceSettingsByGuidOrAsAWholeList) {
    TTestDevicesList list;
    OleVariant result(5);
    EXPECT_EQ(list.GetDeviceSettings(OleVariant(u"not a guid"), result), 0);
    EXPECT_EQ(xml::NodeFromVariant(result)->Xml(), u"<EquList/>\r\n");
    EXPECT_EQ(list.GetDeviceSettings(OleVariant(u""), result), 3);
    EXPECT_EQ(result.vt, VT_EMPTY);
    TDeviceItem* a = NewDevice(list);
    NewDevice(list);
    EXPECT_EQ(list.GetDeviceSettings(OleVariant(infra::GuidToText(a->Guid())), result), 0);
    EXPECT_EQ(xml::NodeFromVariant(result)->NodeType(), xml::TXmlNodeType::Document);
    EXPECT_EQ(list.GetDeviceSettings(OleVariant(u"x"), result), 0);
    EXPECT_EQ(xml::NodeFromVariant(result)->SelectNodes(u"/EquList/Устройство").Length(), 2u);
}

TEST(DevicesList, LoadListUpdatesDevicesByTheirCode) {
    TTestDevicesList list;
    const char16_t* guid = u"{70231714-9996-413C-BFBB-F504227138B8}";
    const std::u16string text = u"<Система><Оборудование>" + DeviceText(guid, u"A") +
                                DeviceText(guid, u"B") + u"</Оборудование></Система>";
    list.LoadList(OleVariant(text));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetItem(0)->Identifier(), "B");
    EXPECT_FALSE(list.SettingsText().empty());
    list.LoadList(OleVariant(u"<Оборудование>" + DeviceText(guid, u"C") + u"</Оборудование>"));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetItem(0)->Identifier(), "C");
    EXPECT_THROW(list.LoadList(OleVariant(u"<Система>")), xml::EXmlParseError);
    EXPECT_EQ(list.Count(), 1);
}

// A load that fails part-way (here: a model code that is no GUID, read after the device's name)
// leaves the list as it was: no device of the load stays, no device keeps half of its update.
TEST(DevicesList, AFailedLoadLeavesTheListAsItWas) {
    TTestDevicesList list;
    const char16_t* kept = u"{70231714-9996-413C-BFBB-F504227138B8}";
    list.LoadList(OleVariant(u"<Система>" + DeviceText(kept, u"A") + u"</Система>"));
    const std::string settingsText = list.SettingsText();
    auto badUpdate = [&](const char16_t* guid) {
        return std::u16string(u"<Устройство Код=\"") + guid +
               u"\" Наименование=\"Half\" КодМодели=\"not a code\"/>";
    };
    EXPECT_THROW(list.LoadList(OleVariant(
                     u"<Система>" + DeviceText(u"{11111111-0000-0000-0000-000000000001}", u"N") +
                     DeviceText(kept, u"Renamed") + badUpdate(kept) + u"</Система>")),
                 rtl::Exception);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetItem(0)->Identifier(), "A");
    EXPECT_EQ(list.SettingsText(), settingsText);
    EXPECT_EQ(list.FindByGuid(infra::GuidFromText(std::u16string(kept))), list.GetItem(0));
    EXPECT_EQ(list.FindByIdentifier("N"), nullptr);

    ComPtr<IDeviceItem> device;
    EXPECT_THROW(list.AddOrFindDevice(OleVariant(badUpdate(kept)), device), rtl::Exception);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetItem(0)->Identifier(), "A");
}

TEST(DevicesList, FailedAddsLeaveNoDeviceBehind) {
    TTestDevicesList list;
    ComPtr<IDeviceItem> device;
    EXPECT_THROW(list.AddOrFindDevice(OleVariant(u"<Устройство Код=\"bad\"/>"), device),
                 rtl::Exception);
    EXPECT_THROW(list.InsertDevice(OleVariant(u"<Устройство"), device), rtl::Exception);
    OleVariant settings(u"<Устройство Код=\"bad\"/>");
    EXPECT_THROW(list.AddDeviceWithDialog(settings, false), rtl::Exception);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(device, nullptr);
}

TEST(DevicesList, AddFindInsertAndClose) {
    TTestDevicesList list;
    const char16_t* guid = u"{70231714-9996-413C-BFBB-F504227138B8}";
    auto document = exchange::CreateXmlDocument();
    document->LoadXml(DeviceText(guid, u"Dev"));
    const OleVariant settings = xml::NodeToVariant(xml::XmlNode(document.Get()));
    ComPtr<IDeviceItem> added, found, again, inserted;
    list.AddOrFindDevice(settings, added);
    list.FindDevice(settings, found);
    list.AddOrFindDevice(settings, again);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(added, found);
    EXPECT_EQ(added, again);
    list.InsertDevice(OleVariant(DeviceText(u"", u"First")), inserted);
    EXPECT_EQ(list.GetItem(0)->Identifier(), "First");
    EXPECT_EQ(list.CloseDevice(infra::GuidFromText(std::u16string_view(guid))), 0);
    EXPECT_EQ(list.CloseDevice(infra::GuidFromText(std::u16string_view(guid))), -1);
    EXPECT_EQ(list.Count(), 1);
    std::int16_t enabled = 1;
    EXPECT_EQ(added->GetEnabled(&enabled), S_OK); // closed but still held by the host
    EXPECT_EQ(list.ShowDeviceSettings(infra::NewGuid()), -1);
    EXPECT_EQ(list.ShowDeviceSettings(GUID_NULL), 0); // the device inserted with an empty code
}

TEST(DevicesList, AddWithoutDialogReturnsTheNewDevicesSettings) {
    TTestDevicesList list;
    OleVariant settings(DeviceText(u"", u"Named"));
    EXPECT_EQ(list.AddDeviceWithDialog(settings, true), 0);
    ASSERT_EQ(settings.vt, VT_BSTR);
    EXPECT_NE(TextFromBStr(settings.bstrVal).find(u"Наименование=\"Named\""), std::u16string::npos);
    EXPECT_EQ(list.Count(), 1);
}

TEST(DevicesList, RemovesOnlyTheDevicesOfOtherThreads) {
    TTestDevicesList list;
    NewDevice(list);
    list.RemoveThreadDevices();
    EXPECT_EQ(list.Count(), 1);
    std::thread([&] {
        NewDevice(list);
        NewDevice(list);
        list.RemoveThreadDevices();
    }).join();
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Released, 0);
    list.ClearAll();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Released, 1);
}

TEST(DevicesList, ReadsDialogColoursFromSettings) {
    TTestDevicesList list;
    auto document = exchange::CreateXmlDocument();
    document->LoadXml(u"<Система><ColorItem ColorForm=\"255\" ColorFont=\"x\"/></Система>");
    list.ReadColours(xml::NodeToVariant(xml::XmlNode(document.Get())));
    EXPECT_EQ(registry::DialogColours().ColorForm, 255);
    EXPECT_EQ(registry::DialogColours().ColorBody, -1);
    EXPECT_EQ(registry::DialogColours().ColorFont, -1);
    registry::SetDialogColours({});
}

TEST(DevicesList, RegisteringARowFindsItsDefinitionByTheRowsNameOnly) {
    TTestDevicesList list;
    registry::TPropList& defs = list.ModelParamDefs();
    const int count = defs.Count();
    // A new row whose second name is the name of an existing parameter adds a definition of its
    // own instead of overwriting the other one.
    const registry::TParamDefRow alias[] = {
        {u"Timeout", u"HookTimeOut", u"T", u"Integer", 0, u"9", u"", nullptr}};
    list.RegisterParams(alias);
    EXPECT_EQ(defs.Count(), count + 1);
    EXPECT_EQ(defs.FindByIdentifier("HookTimeOut")->DefaultValue, "65");
    // A row registered again (here by the English second name of a common row) is updated in place.
    const registry::TParamDefRow usable[] = {
        {u"Usable", u"", u"Use", u"Integer", 1, u"0", u"", nullptr}};
    list.RegisterParams(usable);
    EXPECT_EQ(defs.Count(), count + 1);
    const registry::TPropItem* row = defs.PropertyAt(0);
    EXPECT_EQ(row->Identifier, "Usable");
    EXPECT_EQ(row->Value, "0");
    EXPECT_TRUE(row->ReadOnly);
    // The row without a second name is found by nothing but its name.
    EXPECT_EQ(defs.FindByIdentifier(""), nullptr);
    EXPECT_NE(defs.FindByIdentifier(Ansi(u"НЕРАЗДЕЛЯЕМОЕ")), nullptr);
}

TEST(DevicesList, DuplicateGuidsFindTheFirstDeviceInIndexOrder) {
    TTestDevicesList list;
    TDeviceItem* a = NewDevice(list);
    TDeviceItem* b = NewDevice(list);
    b->SetGuid(a->Guid());
    EXPECT_EQ(list.FindByGuid(a->Guid()), a);
    auto* front = static_cast<TDeviceItem*>(list.Insert(0));
    front->SetGuid(a->Guid());
    EXPECT_EQ(list.FindByGuid(a->Guid()), front);
    front->CloseItem();
    EXPECT_EQ(list.FindByGuid(a->Guid()), a);
    a->SetGuid(infra::NewGuid());
    EXPECT_EQ(list.FindByGuid(b->Guid()), b);
}

TEST(DevicesList, DeviceSettingsByAn8BitKey) {
    TTestDevicesList list;
    TDeviceItem* device = NewDevice(list);
    device->SetIdentifier("Front Desk");
    OleVariant result(1);
    EXPECT_EQ(list.GetDeviceSettings(std::string_view("FRONT DESK"), result), 0);
    EXPECT_EQ(xml::NodeFromVariant(result)->NodeType(), xml::TXmlNodeType::Document);
    EXPECT_EQ(list.GetDeviceSettings(Ansi(infra::GuidToText(device->Guid())), result), 0);
    EXPECT_EQ(list.GetDeviceSettings(std::string_view("other"), result), 3);
    EXPECT_EQ(result.vt, VT_EMPTY);
    // The empty text is the null GUID, which no device has here.
    EXPECT_EQ(list.GetDeviceSettings(std::string_view(""), result), 3);
}

TEST(DevicesList, CurrentIdentifierFollowsThePosition) {
    TTestDevicesList list;
    TDeviceItem* device = NewDevice(list);
    list.SetCurrentIdentifier("ignored");
    EXPECT_EQ(list.CurrentIdentifier(), "");
    EXPECT_EQ(device->Identifier(), Prefix() + "1");
    list.SetCurrent(1);
    list.SetCurrentIdentifier("Renamed");
    EXPECT_EQ(list.CurrentIdentifier(), "Renamed");
    EXPECT_EQ(list.FindByIdentifier("renamed"), device);
    EXPECT_EQ(list.ProposeIdentifier(""), Prefix() + "1");
    // A position left over after devices went is no device: nothing is read or written.
    list.SetCurrent(2);
    list.SetCurrentIdentifier("nobody");
    EXPECT_EQ(list.CurrentIdentifier(), "");
    EXPECT_EQ(device->Identifier(), "Renamed");
}

TEST(DevicesList, LoadListTellsTheLayoutOnceForTheWholeDocument) {
    TTestDevicesList list;
    // The second device has the older layout's group; the layout is the document's, so both
    // devices take their identifiers from "Описание".
    list.LoadList(
        OleVariant(std::u16string(u"<Система><Оборудование>"
                                  u"<Устройство Код=\"{00000000-0000-4000-8000-000000000001}\" "
                                  u"Наименование=\"N1\" Описание=\"D1\"/>"
                                  u"<Устройство Код=\"{00000000-0000-4000-8000-000000000002}\" "
                                  u"Наименование=\"N2\" Описание=\"D2\">"
                                  u"<Параметры><Дополнительно><Item Имя=\"HookPref\" "
                                  u"Значение=\"##\"/></Дополнительно></Параметры>"
                                  u"</Устройство></Оборудование></Система>")));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetItem(0)->Identifier(), "D1");
    EXPECT_EQ(list.GetItem(1)->Identifier(), "D2");
    // The older layout's items are read from the whole document.
    EXPECT_EQ(list.GetItem(0)->GetParamStr("HookPref"), "##");
    list.LoadList(OleVariant(
        std::u16string(u"<Оборудование><Устройство Код=\"{00000000-0000-4000-8000-000000000001}\" "
                       u"Наименование=\"N1\" "
                       u"Описание=\"D1\"/></Оборудование>")));
    EXPECT_EQ(list.GetItem(0)->Identifier(), "N1");
}

TEST(DevicesList, ProposalsStayRightWhileTheCurrentModelChanges) {
    TTestDevicesList list;
    TDeviceItem* first = NewDevice(list);
    NewDevice(list);
    EXPECT_EQ(list.ProposeIdentifier(""), Prefix() + "3");
    // The host's models load and another model becomes current; a device leaves meanwhile.
    list.ModelList().RegisterModel(MakeGuid("22222222-3333-4444-5555-666666666666"), u"Другой", 0,
                                   u"Другой №", u"Другой");
    first->CloseItem();
    list.ModelList().SelectModel(0);
    EXPECT_EQ(list.ProposeIdentifier(""), Prefix() + "1");
}

namespace {

// A device whose settings dialog records where it was shown and answers as told.
class TDialogDevice : public TDeviceItem {
  public:
    using TDeviceItem::TDeviceItem;
    std::int32_t ShowSettings() override {
        ++Shown;
        return Answer;
    }
    int Shown = 0;
    static inline std::int32_t Answer = 0;
};

} // namespace

TEST(DevicesList, AddWithDialogShowsTheNewDevicesDialogEvenWhenItsCodeIsTaken) {
    TTestDevicesList list(rtl::ItemClassOf<TDialogDevice>);
    const char16_t* guid = u"{70231714-9996-413C-BFBB-F504227138B8}";
    auto* older = static_cast<TDialogDevice*>(list.Add());
    older->SetGuid(infra::GuidFromText(std::u16string_view(guid)));
    OleVariant settings(DeviceText(guid, u"Newer"));
    TDialogDevice::Answer = 0;
    EXPECT_EQ(list.AddDeviceWithDialog(settings, true), 0);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(older->Shown, 0);
    EXPECT_EQ(static_cast<TDialogDevice*>(list.GetItem(1))->Shown, 1);
    // Cancelled: the new device goes again and the settings stay as they were.
    TDialogDevice::Answer = -1;
    OleVariant again(DeviceText(guid, u"Cancelled"));
    EXPECT_EQ(list.AddDeviceWithDialog(again, true), -1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(older->Shown, 0);
    EXPECT_EQ(TextFromBStr(again.bstrVal), DeviceText(guid, u"Cancelled"));
}
