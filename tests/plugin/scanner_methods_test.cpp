// The scanner driver's method set, called by name through the guarded call entry on a TDllQuill
// that stands as the library's driver object.
#include "support/call_block.h"
#include "capture/manager/manager_quill.h"
#include "capture/manager/manager_quill_list.h"
#include "infra/codes/coded_exception.h"
#include "infra/root/guid_text.h"
#include "infra/version/version_info.h"
#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "platform/ui/form_backend.h"
#include "support/scripted_backend.h"
#include "platform/user/beep.h"
#include "plugin/control/call_entry.h"
#include "plugin/scanner/base_dll_scanner.h"
#include "plugin/scanner/dll_quill.h"
#include "plugin/scanner/driver_identity.h"
#include "plugin/scanner/method_set.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

using namespace quill;
using namespace quill::plugin;
using com::OleVariant;

namespace {

struct Outcome {
    bool Failed = false;
    std::int32_t Code = 0;
    std::u16string Text;
    OleVariant Result;
    std::vector<OleVariant> Args;
};

// The tones the driver was asked for, through the tone function the fixture gives it.
std::vector<std::pair<user::DWORD, user::DWORD>> gTones;

user::BOOL RecordTone(user::DWORD frequency, user::DWORD duration) {
    gTones.emplace_back(frequency, duration);
    return user::TRUE;
}

class ScannerMethods : public ::testing::Test {
  protected:
    void SetUp() override {
        gTones.clear();
        FSaved = DllObject;
        FDriver = std::make_unique<TDllQuill>(&RecordTone, &User);
        DllObject = FDriver.get();
    }
    void TearDown() override {
        FDriver.reset();
        DllObject = FSaved;
    }

    Outcome Call(std::u16string_view name, int kind, std::vector<OleVariant> args = {}) {
        exchange::TParams block;
        test::CallBlock(block, name, kind, args);
        GuardedCallEntry(&block, nullptr);
        Outcome outcome{
            block.Error, block.ErrorCode, rtl::VarToWide(block.ErrorDescription), block.Get(0), {}};
        for (std::uint32_t i = 3; i < block.Count(); ++i)
            outcome.Args.push_back(block.Get(static_cast<std::int32_t>(i)));
        return outcome;
    }
    Outcome Method(std::u16string_view name, std::vector<OleVariant> args = {}) {
        return Call(name, 1, std::move(args));
    }
    Outcome Read(std::u16string_view name) { return Call(name, 2); }
    Outcome Write(std::u16string_view name, OleVariant value) { return Call(name, 3, {value}); }

    int Devices() const { return FDriver->Devices->DeviceCount(); }
    registry::TDeviceItem& Device(int i) const { return *FDriver->Devices->GetItem(i); }
    // Adds a device with default settings and makes it current.
    void AddCurrentDevice() {
        ASSERT_FALSE(Method(u"AddDevice", {OleVariant()}).Failed);
        ASSERT_FALSE(Method(u"ChoiceDevice", {OleVariant(Devices())}).Failed);
    }

    // The user of the settings dialogs; outlives the driver that borrows it.
    test::TScriptedBackend User;
    std::unique_ptr<TDllQuill> FDriver;
    TBaseDllObj* FSaved = nullptr;
};

std::u16string Text(const com::VARIANT& v) {
    return rtl::VarToWide(v);
}

// The settings text of a new device with default parameters.
std::u16string NewDeviceText() {
    return u"<Устройство Код=\"" + infra::GuidToText(infra::NewGuid()) +
           u"\" КодМодели=\"\" Наименование=\"Новый\"><Параметры/></Устройство>";
}

} // namespace

TEST_F(ScannerMethods, TablesAndNamesAsTheHostKnowsThem) {
    EXPECT_EQ(ScannerMethodTableA().size(), 1u);
    ASSERT_EQ(ScannerMethodTableB().size(), 17u);
    EXPECT_EQ(ScannerPropertyTable1().size(), 7u);
    EXPECT_EQ(ScannerPropertyTable2().size(), 2u);
    EXPECT_EQ(FDriver->FindMethod(u"switchon"), &ScannerMethodTableB()[9]);
    EXPECT_EQ(FDriver->FindMethod(u"ВЫКЛЮЧИТЬ"), &ScannerMethodTableB()[10]);
    EXPECT_EQ(FDriver->FindMethod(u"выбратьустройство"), &ScannerMethodTableA()[0]);
    EXPECT_EQ(FDriver->FindProperty(u"usable"), &ScannerPropertyTable2()[0]);
    EXPECT_EQ(FDriver->FindProperty(u"Релиз"), &ScannerPropertyTable1()[6]);
    // The identity the device manager registers and the instance mutex uses.
    EXPECT_EQ(FDriver->Devices->DriverInfo().Name, identity::Name);
    EXPECT_EQ(kernel::AnsiToWide(FDriver->Devices->DriverIdentifier()), identity::ProgId);
}

TEST_F(ScannerMethods, ResultDescriptionTakesNumbersOnly) {
    const Outcome six = Method(u"ResultDescription", {OleVariant(6)});
    ASSERT_FALSE(six.Failed);
    EXPECT_EQ(Text(six.Result), u"Ошибка в данных");
    EXPECT_EQ(Text(Method(u"ОписаниеОшибки", {OleVariant(3.0)}).Result),
              u"Устройство не обнаружено");
    EXPECT_EQ(Text(Method(u"ResultDescription", {OleVariant::FromShort(0)}).Result),
              u"Операция выполнена успешно");
    const Outcome text = Method(u"ResultDescription", {OleVariant(u"6")});
    EXPECT_TRUE(text.Failed);
    EXPECT_EQ(text.Code, 4);
    EXPECT_EQ(text.Text, u"Неверный тип параметра");
}

TEST_F(ScannerMethods, AddChooseAndDeleteDevices) {
    const Outcome added = Method(u"AddDevice", {OleVariant(NewDeviceText())});
    ASSERT_FALSE(added.Failed) << kernel::WideToUtf8(added.Text);
    ASSERT_EQ(Devices(), 1);
    // A text in gives the new device's settings back as XML text.
    ASSERT_EQ(added.Args[0].vt, com::VT_BSTR);
    EXPECT_NE(Text(added.Args[0]).find(infra::GuidToText(Device(0).Guid())), std::u16string::npos);
    ASSERT_FALSE(Method(u"AddDevice", {OleVariant()}).Failed);
    ASSERT_EQ(Devices(), 2);

    EXPECT_EQ(Method(u"ChoiceDevice", {OleVariant(3)}).Code, 3);
    EXPECT_FALSE(Method(u"ChoiceDevice", {OleVariant(2)}).Failed);
    EXPECT_EQ(rtl::VarToInt(Read(u"DeviceNumber").Result), 2);
    EXPECT_EQ(Text(Read(u"DeviceName").Result), kernel::AnsiToWide(Device(1).Identifier()));
    EXPECT_FALSE(Write(u"ИмяУстройства", OleVariant(u"Касса 1")).Failed);
    EXPECT_EQ(Text(Read(u"DeviceName").Result), u"Касса 1");
    EXPECT_FALSE(Method(u"ChoiceDevice", {OleVariant(u"касса 1")}).Failed);
    EXPECT_EQ(rtl::VarToInt(Read(u"DevicesQuantity").Result), 2);
    EXPECT_TRUE(Write(u"DevicesQuantity", OleVariant(5)).Failed);

    for (const OleVariant& bad : {OleVariant(0), OleVariant(3), OleVariant::FromShort(1)}) {
        const Outcome refused = Method(u"DeleteDevice", {bad});
        EXPECT_TRUE(refused.Failed);
        EXPECT_EQ(refused.Code, 3);
        EXPECT_EQ(Devices(), 2);
    }
    EXPECT_FALSE(Method(u"УдалитьУстройство", {OleVariant(1)}).Failed);
    EXPECT_EQ(Devices(), 1);
    EXPECT_EQ(Device(0).Identifier(), kernel::WideToAnsi(u"Касса 1"));
}

// A call may remove the very device it runs for: the device stays valid until the call is done
// with it (ASan reports a write into the freed device otherwise).
TEST_F(ScannerMethods, ACallThatRemovesItsOwnCurrentDevice) {
    AddCurrentDevice();
    ASSERT_FALSE(Method(u"DeleteDevice", {OleVariant(1)}).Failed);
    EXPECT_EQ(Devices(), 0);

    // Devices a second thread made leave the list when that thread adds or loads devices, the
    // current one among them.
    AddCurrentDevice();
    for (const char16_t* name : {u"SettingDevices", u"AddDevice"}) {
        std::thread other([&] {
            com::ComPtr<IPluModel> model;
            ASSERT_EQ(FDriver->GetModel(0, model.ReleaseAndGetAddressOf()), com::S_OK);
            const OleVariant settings(NewDeviceText());
            com::ComPtr<IDeviceItem> device;
            ASSERT_EQ(model->CreateDevice(&settings, device.ReleaseAndGetAddressOf()), com::S_OK);
            device = nullptr; // only the list holds it now
            ASSERT_FALSE(Method(u"ChoiceDevice", {OleVariant(2)}).Failed);
            const Outcome done = Method(name, {OleVariant(u"<Система/>")});
            EXPECT_FALSE(done.Failed) << kernel::WideToUtf8(done.Text);
        });
        other.join();
        EXPECT_EQ(Devices(), 1) << kernel::WideToUtf8(name);
    }
}

TEST_F(ScannerMethods, TheCurrentDeviceProperties) {
    const Outcome none = Read(u"Результат");
    EXPECT_EQ(rtl::VarToInt(none.Result), 3);
    const Outcome write = Write(u"Result", OleVariant(0));
    EXPECT_TRUE(write.Failed);
    EXPECT_EQ(write.Text, u"Свойство [Result] доступно только для чтения");
    // Without a current device the per-device properties read nothing.
    EXPECT_EQ(Read(u"Usable").Result.vt, com::VT_EMPTY);

    AddCurrentDevice();
    EXPECT_EQ(rtl::VarToInt(Read(u"Result").Result), 0);
    EXPECT_EQ(rtl::VarToInt(Read(u"Usable").Result), 1);
    EXPECT_EQ(rtl::VarToInt(Read(u"Неразделяемое").Result), 1);
    EXPECT_FALSE(Write(u"Использовать", OleVariant(0)).Failed);
    EXPECT_EQ(rtl::VarToInt(Read(u"Usable").Result), 0);
    EXPECT_EQ(Device(0).GetParamStr(kernel::WideToAnsi(u"Использовать")), "0");

    EXPECT_FALSE(Write(u"PropertyPageEnabled", OleVariant(1)).Failed);
    EXPECT_EQ(rtl::VarToInt(Read(u"ДоступностьСтраницыСвойств").Result), 1);

    const Outcome release = Read(u"Release");
    EXPECT_EQ(release.Result.vt, com::VT_I2);
    const auto version = infra::TVersionInfo::ForOwnModule();
    EXPECT_EQ(rtl::VarToInt(release.Result),
              static_cast<std::int16_t>(version->VersionNumbers().Low >> 16));
}

TEST_F(ScannerMethods, SwitchOnAndOffTheCurrentDevice) {
    const Outcome missing = Method(u"SwitchOn", {OleVariant(0)});
    EXPECT_TRUE(missing.Failed);
    EXPECT_EQ(missing.Code, 3);
    EXPECT_EQ(missing.Text, u"Устройство не обнаружено");

    AddCurrentDevice();
    EXPECT_FALSE(Method(u"Включить", {OleVariant(0)}).Failed);
    EXPECT_TRUE(Device(0).IsOn());
    EXPECT_EQ(rtl::VarToInt(Read(u"DeviceIsOn").Result), 1);
    EXPECT_FALSE(Method(u"switchoff", {OleVariant(0)}).Failed);
    EXPECT_FALSE(Device(0).IsOn());

    // A mode that cannot be read refuses the switch-on with the device's own code and text.
    Device(0).SetParamStr("MinDataLen", "many");
    const Outcome refused = Method(u"SwitchOn", {OleVariant(0)});
    EXPECT_TRUE(refused.Failed);
    EXPECT_NE(refused.Code, 0);
    EXPECT_EQ(refused.Code, Device(0).ErrorCode());
    EXPECT_FALSE(Device(0).IsOn());
}

// A method's failed result code becomes a coded failure with the device's text, the code also left
// in the result slot; only switching a device fails as the hardware failure class.
TEST_F(ScannerMethods, FailedResultCodesAreCodedFailuresAndSwitchingsHardwareFailures) {
    for (const auto& [name, args] :
         {std::pair<std::u16string, std::vector<OleVariant>>{u"DeleteDevice", {OleVariant(0)}},
          {u"SwitchOn", {OleVariant(0)}},
          {u"SwitchOff", {OleVariant(0)}},
          {u"GetProps", {OleVariant()}}}) {
        exchange::TParams block;
        test::CallBlock(block, name, 1, args);
        try {
            CallEntry(&block, nullptr);
            ADD_FAILURE() << "no failure for " << kernel::WideToAnsi(name);
        } catch (const infra::ECodedException& e) {
            EXPECT_EQ(e.Code, 3);
            EXPECT_EQ(e.Message(), kernel::WideToAnsi(u"Устройство не обнаружено"));
            EXPECT_EQ(dynamic_cast<const infra::EHardwareEquipmentException*>(&e) != nullptr,
                      name.starts_with(u"Switch"))
                << kernel::WideToAnsi(name);
        }
        // Switching reports its failure only as the error: the block stays as the host sent it.
        if (name.starts_with(u"Switch"))
            EXPECT_EQ(block.Get(0).vt, com::VT_EMPTY) << kernel::WideToAnsi(name);
        else
            EXPECT_EQ(rtl::VarToInt(block.Get(0)), 3) << kernel::WideToAnsi(name);
    }
}

TEST_F(ScannerMethods, ParameterTableRoundTrip) {
    EXPECT_EQ(Method(u"GetProps", {OleVariant()}).Code, 3);
    EXPECT_EQ(Method(u"SetProps", {OleVariant()}).Code, 3);
    AddCurrentDevice();
    const Outcome got = Method(u"ПолучитьСвойства", {OleVariant()});
    ASSERT_FALSE(got.Failed);
    ASSERT_EQ(got.Args[0].vt, com::VT_DISPATCH);
    auto table = com::ComPtr<ISafeArray>::QueryFrom(got.Args[0].pdispVal);
    ASSERT_TRUE(table);
    std::int32_t rows = 0, columns = 0;
    table->GetBounds(&rows, &columns);
    EXPECT_EQ(rows, 8);
    EXPECT_EQ(columns, 7);
    for (std::int32_t row = 1; row < rows; ++row) {
        OleVariant name;
        table->GetValue(row, 0, &name);
        if (Text(name) == u"HookPref") table->SetValue(row, 4, OleVariant(u"##"));
    }
    EXPECT_FALSE(Method(u"SetProps", {got.Args[0]}).Failed);
    EXPECT_EQ(Device(0).GetParamStr("HookPref"), "##");
    // Something that is no table is the wrong type of argument.
    EXPECT_EQ(Method(u"SetProps", {OleVariant(5)}).Code, 4);
}

TEST_F(ScannerMethods, SettingsInAndOut) {
    EXPECT_EQ(Method(u"SettingDevices", {OleVariant(1)}).Code, 4);
    const std::u16string settings =
        u"<Система><Устройство Код=\"{11111111-2222-3333-4444-555555555555}\" КодМодели=\"\" "
        u"Наименование=\"Вход\"><Параметры><Параметр Идентификатор=\"HookPref\" "
        u"Зна4ение=\"##\"/></Параметры></Устройство></Система>";
    ASSERT_FALSE(Method(u"НастроитьУстройства", {OleVariant(settings)}).Failed);
    ASSERT_EQ(Devices(), 1);
    EXPECT_EQ(Device(0).Identifier(), kernel::WideToAnsi(u"Вход"));
    EXPECT_EQ(Device(0).GetParamStr("HookPref"), "##");

    EXPECT_EQ(Method(u"GetSettingsXML", {OleVariant(1), OleVariant()}).Code, 4);
    const Outcome one = Method(
        u"GetSettingsXML", {OleVariant(u"{11111111-2222-3333-4444-555555555555}"), OleVariant()});
    ASSERT_FALSE(one.Failed);
    EXPECT_EQ(one.Args[1].vt, com::VT_DISPATCH);
    EXPECT_EQ(Method(u"GetSettingsXML",
                     {OleVariant(u"{11111111-2222-3333-4444-555555555556}"), OleVariant()})
                  .Code,
              3);
}

TEST_F(ScannerMethods, DialogMethodsFollowTheUsersChoice) {
    test::TScriptedBackend& backend = User;
    backend.Cancel();
    const Outcome cancelled = Method(u"AddDeviceEx", {OleVariant(NewDeviceText())});
    EXPECT_TRUE(cancelled.Failed);
    EXPECT_EQ(cancelled.Code, -1);
    EXPECT_EQ(Devices(), 0);

    backend.Type("edPref", "@@").Click("btnOk");
    const Outcome accepted = Method(u"ДобавитьУстройствоРасш", {OleVariant(NewDeviceText())});
    ASSERT_FALSE(accepted.Failed) << kernel::WideToUtf8(accepted.Text);
    ASSERT_EQ(Devices(), 1);
    EXPECT_EQ(Device(0).GetParamStr("HookPref"), "@@");
    EXPECT_NE(Text(accepted.Args[0]).find(u"@@"), std::u16string::npos);

    const std::u16string guid = infra::GuidToText(Device(0).Guid());
    backend.Type("edPost", "!!").Click("btnOk");
    const Outcome changed = Method(u"SettingsDeviceEx", {OleVariant(guid), accepted.Args[0]});
    ASSERT_FALSE(changed.Failed) << kernel::WideToUtf8(changed.Text);
    EXPECT_EQ(Device(0).GetParamStr("HookPost"), "!!");
    ASSERT_EQ(changed.Args[1].vt, com::VT_BSTR);
    EXPECT_NE(Text(changed.Args[1]).find(u"!!"), std::u16string::npos);

    backend.Cancel();
    EXPECT_EQ(Method(u"SettingsDeviceEx", {OleVariant(guid), accepted.Args[0]}).Code, -1);
    EXPECT_EQ(Method(u"SettingsDeviceEx", {OleVariant(u"no guid"), accepted.Args[0]}).Code, -1);
}

TEST_F(ScannerMethods, SmallMethods) {
    for (const char16_t* name : {u"SaveSettings", u"LoadSettings"}) {
        const Outcome o = Method(name);
        EXPECT_FALSE(o.Failed) << kernel::WideToUtf8(name);
        EXPECT_EQ(rtl::VarToInt(o.Result), 0);
    }
    EXPECT_FALSE(Method(u"ShowPropertyPage", {OleVariant(u"x")}).Failed);

    EXPECT_EQ(Method(u"Beep", {OleVariant(440.5), OleVariant(100)}).Code, 4);
    // A negative tone succeeds as any tone does, but is not handed to the tone function, where
    // it would become a tone of some 49 days.
    for (const auto& [frequency, duration] : {std::pair{-1, 100}, {440, -1}, {-5, -5}}) {
        const Outcome negative = Method(u"Гудок", {OleVariant(frequency), OleVariant(duration)});
        EXPECT_FALSE(negative.Failed) << frequency << " " << duration;
        EXPECT_EQ(rtl::VarToInt(negative.Result), 0);
    }
    EXPECT_TRUE(gTones.empty());
    EXPECT_FALSE(Method(u"Beep", {OleVariant::FromShort(880), OleVariant(50)}).Failed);
    using Tones = std::vector<std::pair<user::DWORD, user::DWORD>>;
    EXPECT_EQ(gTones, (Tones{{880u, 50u}}));

    const Outcome made = Method(u"CreateComSafeArray", {OleVariant(u"x"), OleVariant(2)});
    ASSERT_EQ(made.Result.vt, com::VT_DISPATCH);
    auto array = com::ComPtr<ISafeArray>::QueryFrom(made.Result.pdispVal);
    ASSERT_TRUE(array);
    std::int32_t rows = -1, columns = -1;
    array->GetBounds(&rows, &columns);
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(columns, 2);
}

TEST_F(ScannerMethods, GetPlgInfoDescribesTheScannerModel) {
    std::vector<OleVariant> args(13);
    args[12] = OleVariant(u"untouched");
    const Outcome info = Method(u"ИнформацияОПлагине", args);
    ASSERT_FALSE(info.Failed) << kernel::WideToUtf8(info.Text);
    EXPECT_EQ(Text(info.Args[0]), infra::GuidToText(ScannerModelGuid));
    EXPECT_EQ(Text(info.Args[1]), u"Сканер штрихкодов клавиатурный");
    for (int i = 2; i <= 5; ++i)
        EXPECT_EQ(rtl::VarToInt(info.Args[i]), 1) << i;
    EXPECT_EQ(rtl::VarToInt(info.Args[6]), 0);
    EXPECT_NE(Text(info.Args[7]).find(u"HookPref"), std::u16string::npos);
    EXPECT_EQ(Text(info.Args[8]), u"СканерКлавиатурный");
    EXPECT_EQ(Text(info.Args[9]), u"Сканер");
    const auto reference = reinterpret_cast<std::intptr_t>(FDriver->Devices.get());
    const std::int64_t passed =
        info.Args[11].vt == com::VT_I8 ? info.Args[11].llVal : info.Args[11].lVal;
    EXPECT_EQ(passed, reference);
    EXPECT_EQ(Text(info.Args[12]), u"untouched");
}
