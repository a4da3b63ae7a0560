// The keyboard-scanner driver's method set: the handlers of method tables A and B and property
// table 1, and the three tables as the driver object receives them.
//
// Method handlers receive the driver object they run for, with the call's context (which names the
// current device); property handlers have the form of device parameter accessors and find the
// driver behind the context (TBaseDllObj::GetBaseDll). A method reports its outcome one way: its
// result is a result code of registry/device/result_codes.h (Success, DeviceNotFound,
// WrongParameterType, InvalidParameterValue, Cancelled for a cancelled dialog, or the device's own
// code for SwitchOn and SwitchOff), which the dispatch raises as a coded failure with the device's
// text when it is not Success; a method writes its arguments back only when it ends with Success.
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

void ChoiceDevice(TBaseDllObj& driver, rtl::TObject* context, Args& args, com::OleVariant& result);
void ResultDescription(TBaseDllObj& driver, rtl::TObject* context, Args& args,
                       com::OleVariant& result);
void SettingDevices(TBaseDllObj& driver, rtl::TObject* context, Args& args,
                    com::OleVariant& result);
void DeleteDevice(TBaseDllObj& driver, rtl::TObject* context, Args& args, com::OleVariant& result);
void AddDeviceEx(TBaseDllObj& driver, rtl::TObject* context, Args& args, com::OleVariant& result);
void AddDevice(TBaseDllObj& driver, rtl::TObject* context, Args& args, com::OleVariant& result);
void SettingsDeviceEx(TBaseDllObj& driver, rtl::TObject* context, Args& args,
                      com::OleVariant& result);
void ResultZero(TBaseDllObj& driver, rtl::TObject* context, Args& args, com::OleVariant& result);
void GetPlgInfo(TBaseDllObj& driver, rtl::TObject* context, Args& args, com::OleVariant& result);
void GetSettingsXML(TBaseDllObj& driver, rtl::TObject* context, Args& args,
                    com::OleVariant& result);
void SwitchOn(TBaseDllObj& driver, rtl::TObject* context, Args& args, com::OleVariant& result);
void SwitchOff(TBaseDllObj& driver, rtl::TObject* context, Args& args, com::OleVariant& result);
void GetProps(TBaseDllObj& driver, rtl::TObject* context, Args& args, com::OleVariant& result);
void SetProps(TBaseDllObj& driver, rtl::TObject* context, Args& args, com::OleVariant& result);
void CreateComSafeArray(TBaseDllObj& driver, rtl::TObject* context, Args& args,
                        com::OleVariant& result);
void Beep(TBaseDllObj& driver, rtl::TObject* context, Args& args, com::OleVariant& result);

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
