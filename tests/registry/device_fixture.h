// A device list of the tests: the generic list with a base model registered and two parameters
// of a scanner-like driver, so devices have something to carry.
#pragma once

#include "platform/kernel/codepage.h"
#include "platform/rtl/convert.h"
#include "registry/list/devices_list.h"
#include "registry/list/dialog_colours.h"

#include <memory>
#include <string>

namespace quill::test {

inline const com::GUID kTestModelGuid = com::MakeGuid("11111111-2222-3333-4444-555555555555");

class TTestDevicesList : public registry::TDevicesList {
  public:
    explicit TTestDevicesList(
        rtl::TCollectionItemClass itemClass = rtl::ItemClassOf<registry::TDeviceItem>)
        : registry::TDevicesList(itemClass) {
        ModelList().RegisterBaseModel(kTestModelGuid, u"Тестовый сканер", 1, 1, 1, 1, 0, u"",
                                      u"ТестСканер", u"Сканер", u"Сканеры", nullptr);
        static const registry::TParamDefRow rows[] = {
            {u"HookPref", u"", u"Префикс", u"String", 0, u"+++", u"Префикс", nullptr},
            {u"HookTimeOut", u"", u"Время ожидания", u"Integer", 0, u"65", u"Время", nullptr},
        };
        RegisterParams(rows);
    }
    std::string GetErrorText(std::int32_t code) const override {
        return "text of " + std::to_string(code);
    }
    int Released = 0;
    void AllDevicesReleased() override { ++Released; }
};

inline registry::TDeviceItem* NewDevice(registry::TDevicesList& list) {
    return static_cast<registry::TDeviceItem*>(list.Add());
}

inline std::string Ansi(std::u16string_view text) {
    return kernel::WideToAnsi(text);
}
inline std::u16string Wide(std::string_view text) {
    return kernel::AnsiToWide(text);
}

// The prefix of proposed identifiers of the test model ("Тестовый сканер №").
inline std::string Prefix() {
    return Ansi(u"Тестовый сканер №");
}

} // namespace quill::test
