// The keyboard-scanner driver's method set: the handlers of method tables A and B and property
// table 1, and the three tables as the driver object receives them.
//
// Handlers work on the driver object behind the call's context (TBaseDllObj::GetBaseDll), its
// device list and the call's current device. A method's result is its result code (0 success,
// 3 no such device, 4 an argument of the wrong type, -1 a cancelled dialog), which the dispatch
// turns into a coded failure with the device's text; a method writes its arguments back only when
// it ends with 0. SwitchOn and SwitchOff raise infra::EHardwareEquipmentException with the device's
// own error code and text when the switch fails, and with code 3 when there is no current device.
// Failures of the device list and the devices pass through unchanged.
//
// Not thread-safe: handlers run on the thread of the host's call, like the dispatch.
#pragma once

#include "plugin/driver/member_tables.h"

#include <span>
#include <string>
#include <vector>

namespace quill::plugin {

std::span<const MethodRecord> ScannerMethodTableA();
std::span<const MethodRecord> ScannerMethodTableB();
std::span<const PropertyRecord> ScannerPropertyTable1();

namespace methods {

using Args = std::vector<com::OleVariant>;

void ChoiceDevice(rtl::TObject* context, Args& args, com::OleVariant& result);
void ResultDescription(rtl::TObject* context, Args& args, com::OleVariant& result);
void SettingDevices(rtl::TObject* context, Args& args, com::OleVariant& result);
void DeleteDevice(rtl::TObject* context, Args& args, com::OleVariant& result);
void AddDeviceEx(rtl::TObject* context, Args& args, com::OleVariant& result);
void AddDevice(rtl::TObject* context, Args& args, com::OleVariant& result);
void SettingsDeviceEx(rtl::TObject* context, Args& args, com::OleVariant& result);
void ResultZero(rtl::TObject* context, Args& args, com::OleVariant& result);
void GetPlgInfo(rtl::TObject* context, Args& args, com::OleVariant& result);
void GetSettingsXML(rtl::TObject* context, Args& args, com::OleVariant& result);
void SwitchOn(rtl::TObject* context, Args& args, com::OleVariant& result);
void SwitchOff(rtl::TObject* context, Args& args, com::OleVariant& result);
void GetProps(rtl::TObject* context, Args& args, com::OleVariant& result);
void SetProps(rtl::TObject* context, Args& args, com::OleVariant& result);
void CreateComSafeArray(rtl::TObject* context, Args& args, com::OleVariant& result);
void Beep(rtl::TObject* context, Args& args, com::OleVariant& result);

bool PropertyPageEnabled(rtl::TObject* context, bool write, com::OleVariant& value,
                         const std::string& name);
bool DeviceNumber(rtl::TObject* context, bool write, com::OleVariant& value,
                  const std::string& name);
bool DeviceName(rtl::TObject* context, bool write, com::OleVariant& value, const std::string& name);
bool DevicesQuantity(rtl::TObject* context, bool write, com::OleVariant& value,
                     const std::string& name);
bool DeviceIsOn(rtl::TObject* context, bool write, com::OleVariant& value, const std::string& name);
bool Result(rtl::TObject* context, bool write, com::OleVariant& value, const std::string& name);
bool Release(rtl::TObject* context, bool write, com::OleVariant& value, const std::string& name);

} // namespace methods
} // namespace quill::plugin
