#include "registry/device_fixture.h"

#include "exchange/xml/settings_xml.h"
#include "platform/com/com_safearray.h"
#include "platform/xml/dom.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::com;
using namespace quill::test;
using registry::TDeviceItem;

namespace {

// A device whose switch-on the test decides.
class TSwitchedDevice : public TDeviceItem {
  public:
    using TDeviceItem::TDeviceItem;
    bool OpenResult = true;
    std::int32_t OpenCode = 0;
    int Opens = 0;
    int Closes = 0;
    bool DoOpen() override {
        ++Opens;
        SetError(OpenCode);
        return OpenResult;
    }
    bool DoClose() override {
        ++Closes;
        return true;
    }
};

} // namespace

TEST(DeviceItem, StartsWithDefaultsOffAndAFreshGuid) {
    TTestDevicesList list;
    TDeviceItem* a = NewDevice(list);
    TDeviceItem* b = NewDevice(list);
    EXPECT_EQ(a->GetParamStr("HookPref"), "+++");
    EXPECT_EQ(a->GetParamInt("HookTimeOut"), 65);
    EXPECT_EQ(a->GetParamInt(Ansi(u"Использовать")), 1);
    EXPECT_EQ(a->GetState(), 0);
    EXPECT_EQ(a->ErrorCode(), 0);
    EXPECT_FALSE(a->Guid() == GUID_NULL);
    EXPECT_FALSE(a->Guid() == b->Guid());
    EXPECT_EQ(a->Identifier(), Prefix() + "1");
    EXPECT_EQ(b->Identifier(), Prefix() + "2");
    EXPECT_EQ(a->DriverInfo().MakerName, u"Quill");
}

TEST(DeviceItem, TextParametersKeepLineBreaksEscaped) {
    TTestDevicesList list;
    TDeviceItem* d = NewDevice(list);
    d->SetParamStr("Note", "one\r\ntwo");
    EXPECT_EQ(d->FindParam("Note")->Value, "one\\ntwo");
    EXPECT_EQ(d->GetParamStr("note"), "one\r\ntwo"); // names ignore case
    d->SetParamStr("Path", "C:\\new\\name");
    EXPECT_EQ(d->GetParamStr("Path"), "C:\\new\\name");
    EXPECT_EQ(d->GetParamStr("Missing"), "");
}

TEST(DeviceItem, TypedReadsOfParameters) {
    TTestDevicesList list;
    TDeviceItem* d = NewDevice(list);
    EXPECT_EQ(d->GetParamInt("Missing"), 0);
    d->SetParamStr("Empty", "");
    EXPECT_EQ(d->GetParamInt("Empty"), 0);
    d->SetParamStr("Word", "abc");
    EXPECT_THROW(d->GetParamInt("Word"), rtl::EConvertError);
    for (const char* yes : {"True", "tRUE", "1"}) {
        d->SetParamStr("Flag", yes);
        EXPECT_TRUE(d->GetParamBool("Flag")) << yes;
    }
    for (const char* no : {"2", "yes", ""}) {
        d->SetParamStr("Flag", no);
        EXPECT_FALSE(d->GetParamBool("Flag")) << no;
    }
    d->SetParamStr("Real", "1.5");
    EXPECT_DOUBLE_EQ(d->GetParamFloat("Real"), 1.5);
    d->SetParamStr("Real", "1,5");
    EXPECT_DOUBLE_EQ(d->GetParamFloat("Real"), 1.5);
    const registry::TParamDefRow row{u"Flag"};
    d->SetParamById(row, OleVariant(true));
    EXPECT_EQ(d->GetParamStr("Flag"), "1");
    d->SetParamStr("Money", "2.5");
    EXPECT_EQ(d->GetParamCurrencyById(registry::TParamDefRow{u"Money"}), 25000);
}

TEST(DeviceItem, SwitchingOnAndOff) {
    TTestDevicesList list(rtl::ItemClassOf<TSwitchedDevice>);
    auto* d = static_cast<TSwitchedDevice*>(list.Add());
    d->OpenResult = false;
    d->SetState(1);
    EXPECT_EQ(d->GetState(), 0);
    EXPECT_EQ(d->ErrorCode(), 3); // refused without a code of its own
    EXPECT_EQ(d->CheckOpened(), 3);

    d->OpenResult = true;
    d->SetState(1);
    d->SetState(1);
    EXPECT_EQ(d->Opens, 2); // the failed attempt and one successful switch-on
    EXPECT_EQ(d->GetState(), 1);
    EXPECT_EQ(d->CheckOpened(), 0);
    std::int32_t code = -1;
    EXPECT_TRUE(d->CheckOpenedCode(code));
    EXPECT_EQ(code, 0);

    d->SetState(0);
    EXPECT_EQ(d->GetState(), 0);

    d->OpenCode = 7;
    d->SetState(1);
    EXPECT_EQ(d->GetState(), 0); // an error code left by DoOpen keeps the device off
    EXPECT_EQ(d->ErrorCode(), 7);
}

TEST(DeviceItem, ParameterArrayFillsRowsFromTheFirst) {
    TTestDevicesList list;
    TDeviceItem* d = NewDevice(list);
    OleVariant array;
    EXPECT_EQ(d->GetParamArray(array), -1);
    ASSERT_EQ(array.vt, VT_ARRAY | VT_VARIANT);
    LONG hiColumn = 0, hiRow = 0;
    SafeArrayGetUBound(array.parray, 1, &hiColumn);
    SafeArrayGetUBound(array.parray, 2, &hiRow);
    EXPECT_EQ(hiColumn, 7);
    EXPECT_EQ(hiRow, d->Params().Count() - 1);
    auto cell = [&](LONG column, LONG row) {
        LONG index[2] = {column, row};
        VARIANT v;
        SafeArrayGetElement(array.parray, index, &v);
        return OleVariant::Adopt(v);
    };
    const int timeoutRow = d->FindParam("HookTimeOut")->Index();
    EXPECT_EQ(rtl::VarToStr(cell(0, timeoutRow)), "HookTimeOut");
    EXPECT_EQ(cell(1, timeoutRow).vt, VT_I4);
    EXPECT_EQ(rtl::VarToStr(cell(2, timeoutRow)), "Number");
    EXPECT_EQ(rtl::VarToStr(cell(2, d->FindParam("HookPref")->Index())), "String");
    EXPECT_EQ(cell(4, timeoutRow).vt, VT_BOOL);
    EXPECT_EQ(cell(7, timeoutRow).vt, VT_EMPTY);
}

TEST(DeviceItem, HostInterfaceOutlivesTheList) {
    ComPtr<IDeviceItem> held;
    {
        TTestDevicesList list;
        TDeviceItem* d = NewDevice(list);
        held = ComPtr<IDeviceItem>(static_cast<IDeviceItem*>(d));
        std::int16_t enabled = 1;
        EXPECT_EQ(held->GetEnabled(&enabled), S_OK);
        EXPECT_EQ(enabled, 0);
        std::int32_t setup = 5;
        EXPECT_EQ(held->Setup(&setup), S_OK);
        EXPECT_EQ(setup, 0);
    }
    // The list is gone; the device the host holds is still a valid object.
    std::int16_t enabled = 1;
    EXPECT_EQ(held->GetEnabled(&enabled), S_OK);
    OleVariant settings;
    EXPECT_EQ(held->GetSettings(&settings), S_OK);
    EXPECT_EQ(settings.vt, VT_DISPATCH);
}

TEST(DeviceItem, CloseDetachesOnce) {
    TTestDevicesList list;
    TDeviceItem* d = NewDevice(list);
    ComPtr<IDeviceItem> held(static_cast<IDeviceItem*>(d));
    EXPECT_EQ(d->RefCount(), 2);
    std::int32_t result = -1;
    EXPECT_EQ(held->Close(&result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(d->RefCount(), 1);
    EXPECT_EQ(held->Close(&result), S_OK);
    EXPECT_EQ(d->RefCount(), 1);
}
