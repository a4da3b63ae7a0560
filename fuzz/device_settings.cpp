// Fuzzes the device settings a host hands over: the whole list (LoadList) and one device's
// settings (LoadDeviceSettings), then reads everything back (the "EquList" export, each device's
// settings document) and checks that the list's GUID lookup still finds every device.
//
// The input is UTF-8, converted to the UTF-16 text the host would pass. Errors that the library
// reports as errors (rtl::Exception and its kinds: parse errors, codes that are no GUID, bad
// numbers) are expected outcomes; anything else (another exception, a crash, a sanitizer report,
// a lookup that lost a device) is a finding.
#include "platform/kernel/codepage.h"
#include "platform/xml/dom.h"
#include "quill/host.h"
#include "registry/device/device_item.h"
#include "registry/list/devices_list.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace quill;

// A list with a registered base model and two parameters, as a scanner driver sets it up.
class TFuzzDevicesList : public registry::TDevicesList {
  public:
    TFuzzDevicesList() : registry::TDevicesList(rtl::ItemClassOf<registry::TDeviceItem>) {
        ModelList().RegisterBaseModel(ScannerModelGuid, u"Сканер", 1, 1, 1, 1, 0, u"", u"Сканер",
                                      u"Сканер", u"Сканер", nullptr);
        static const registry::TParamDefRow rows[] = {
            {u"HookPref", u"", u"Префикс", u"String", 0, u"+++", u"Префикс", nullptr},
            {u"HookTimeOut", u"", u"Время ожидания", u"Integer", 0, u"65", u"Время", nullptr},
        };
        RegisterParams(rows);
    }
};

void CheckIndexes(const registry::TDevicesList& list) {
    for (int i = 0; i < list.Count(); ++i)
        if (!list.FindByGuid(list.GetItem(i)->Guid())) std::abort();
}

void ReadBack(registry::TDevicesList& list) {
    com::OleVariant all;
    list.GetDeviceSettings(com::OleVariant(u"EquList"), all);
    // A device's own document must load into a fresh device again. One list holds all the
    // copies: the devices' GUIDs are distinct, and setting a list up costs as much as a load.
    TFuzzDevicesList again;
    for (int i = 0; i < list.Count(); ++i) {
        com::OleVariant document = list.GetItem(i)->BuildSettingsDocument();
        auto* copy = static_cast<registry::TDeviceItem*>(again.Add());
        copy->LoadDeviceSettings(com::OleVariant(xml::NodeFromVariant(document)->Xml()));
        if (copy->Guid() != list.GetItem(i)->Guid()) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const com::OleVariant text(kernel::Utf8ToWide(bytes));

    TFuzzDevicesList list;
    try {
        list.LoadList(text);
    } catch (const rtl::Exception&) {
    }
    CheckIndexes(list);
    try {
        auto* device = static_cast<registry::TDeviceItem*>(list.Add());
        device->LoadDeviceSettings(text);
        com::OleVariant array;
        device->GetParamArray(array);
    } catch (const rtl::Exception&) {
    }
    CheckIndexes(list);
    try {
        ReadBack(list);
    } catch (const rtl::Exception&) {
    }
    return 0;
}
