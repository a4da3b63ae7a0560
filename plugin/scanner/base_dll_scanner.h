// TBaseDllScanner: the base of the keyboard-scanner drivers. It is the general driver object with
// property table 2 filled: the two per-device properties every scanner device carries,
// "Использовать" (Usable) and "Неразделяемое", both read and written through DeviceParamHandler on
// the call's current device.
//
// DeviceParamHandler without a current device changes nothing and answers false. A write stores the
// value as text in the device's parameter of that name; a read gives the typed value of the
// device's property of that name, or the parameter's text. Like the driver object, not
// thread-safe: it runs on the thread of the host's call.
//
// The driver sounds the method set's tones through the tone function it was made with (the
// platform's Beep unless given another).
#pragma once

#include "platform/user/beep.h"
#include "plugin/driver/base_dll_obj.h"

#include <span>
#include <string>

namespace quill::plugin {

// Property table 2 of the scanner drivers.
std::span<const PropertyRecord> ScannerPropertyTable2();

bool DeviceParamHandler(rtl::TObject* context, bool write, com::OleVariant& value,
                        const std::string& name);

class TBaseDllScanner : public TBaseDllObj {
  public:
    TBaseDllScanner(std::span<const MethodRecord> tableA, std::span<const MethodRecord> tableB,
                    std::span<const PropertyRecord> table1,
                    rtl::TCollectionItemClass deviceItemClass, DevicesListClass deviceListClass,
                    CallEntryFunc callEntry, user::TToneFunction tone = &user::Beep);
    std::string_view ClassName() const override { return "TBaseDllScanner"; }

    // Sounds a tone through the driver's tone function.
    void Tone(user::DWORD frequency, user::DWORD duration) const { FTone(frequency, duration); }

  private:
    user::TToneFunction FTone;
};

} // namespace quill::plugin
