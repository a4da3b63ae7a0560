// Settings into the device list under failing allocations: loading a settings text of three
// devices (one of them already in the list, one named twice) and adding a device, with every
// allocation in turn failing. After each run the list is wholly the old one or wholly the new
// one: the same devices with the same GUIDs, identifiers and parameter values, never a device
// half loaded or left behind by a failed load.
#include "fault_walk.h"
#include "infra/root/guid_text.h"
#include "registry/device_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace quill::faults {
namespace {

using namespace com;
using test::TTestDevicesList;

// Everything a load can change, as one text: device by device, GUID, identifier, parameters.
std::string Describe(const registry::TDevicesList& list) {
    std::string out = list.SettingsText().substr(0, 40) + "|";
    for (int i = 0; i < list.Count(); ++i) {
        const registry::TDeviceItem* device = list.GetItem(i);
        out += kernel::WideToAnsi(infra::GuidToText(device->Guid())) + " " + device->Identifier();
        for (int r = 0; r < device->Params().Count(); ++r) {
            const registry::TPropItem* row = device->Params().PropertyAt(r);
            out += " " + row->Identifier.str() + "=" + row->Value + ":" + row->TypeName.str();
        }
        out += "\n";
    }
    return out;
}

std::u16string Device(const char16_t* guid, const char16_t* name, const char16_t* prefix) {
    return std::u16string(u"<Устройство Код=\"") + guid +
           u"\" КодМодели=\"{11111111-2222-3333-4444-555555555555}\" Наименование=\"" + name +
           u"\"><Параметры><Параметр Идентификатор=\"HookPref\" Значение=\"" + prefix +
           u"\"/><Параметр Идентификатор=\"Extra\" Значение=\"x\"/></Параметры></Устройство>";
}

const char16_t kOld[] = u"{0A000000-0000-0000-0000-000000000001}";
const char16_t kNew1[] = u"{0B000000-0000-0000-0000-000000000002}";
const char16_t kNew2[] = u"{0C000000-0000-0000-0000-000000000003}";

// A list with one device, kOld, as an earlier load left it.
std::unique_ptr<TTestDevicesList> ListWithOneDevice() {
    auto list = std::make_unique<TTestDevicesList>();
    list->LoadList(OleVariant(u"<Система>" + Device(kOld, u"Старый", u"~") + u"</Система>"));
    return list;
}

TEST(SettingsFaults, LoadingAListIsAllOrNothing) {
    const OleVariant settings(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Система>" +
                              Device(kNew1, u"Первый", u"A") + Device(kOld, u"Обновлённый", u"B") +
                              Device(kNew2, u"Второй", u"C") + Device(kNew1, u"Снова", u"D") +
                              u"</Система>");
    auto reference = ListWithOneDevice();
    const std::string before = Describe(*reference);
    reference->LoadList(settings);
    const std::string after = Describe(*reference);
    ASSERT_NE(before, after);

    std::unique_ptr<TTestDevicesList> list;
    const int steps = WalkFaults(
        kernel::TFaultKind::Allocation, [&] { list = ListWithOneDevice(); },
        [&] { list->LoadList(settings); },
        [&](const TOutcome& outcome) {
            EXPECT_EQ(Describe(*list), outcome.Failed ? before : after)
                << "allocation " << outcome.Step << ": " << outcome.Message;
        });
    EXPECT_GT(steps, 50) << "the walk reached the load's allocations";
}

TEST(SettingsFaults, AddingADeviceLeavesNoHalfBuiltDevice) {
    const OleVariant fresh(Device(kNew1, u"Новый", u"N"));
    const OleVariant update(Device(kOld, u"Изменённый", u"U"));
    for (const OleVariant* settings : {&fresh, &update}) {
        auto reference = ListWithOneDevice();
        const std::string before = Describe(*reference);
        ComPtr<IDeviceItem> added;
        reference->AddOrFindDevice(*settings, added);
        added = nullptr;
        const std::string after = Describe(*reference);
        ASSERT_NE(before, after);

        std::unique_ptr<TTestDevicesList> list;
        const int steps = WalkFaults(
            kernel::TFaultKind::Allocation, [&] { list = ListWithOneDevice(); },
            [&] {
                ComPtr<IDeviceItem> device;
                list->AddOrFindDevice(*settings, device);
            },
            [&](const TOutcome& outcome) {
                EXPECT_EQ(Describe(*list), outcome.Failed ? before : after)
                    << "allocation " << outcome.Step << ": " << outcome.Message;
            });
        EXPECT_GT(steps, 20);
    }
}

} // namespace
} // namespace quill::faults
