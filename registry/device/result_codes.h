// The driver's result codes: what a device operation or a driver method reports to the host.
//
// 0 is success. 1 to 7 are the driver's own failures, whose texts the device list gives
// (TDevicesList::GetErrorText; the scanner list has a text for each). -1 is a dialog the user
// cancelled, or a device that a lookup by identifier did not find. A method handler reports every
// failure one way: it leaves the code as its result, and the dispatch raises it as a coded failure
// with the device's text for it. Codes 20000 and up are the framework's (infra/codes).
#pragma once

#include <cstdint>

namespace quill::registry::results {

constexpr std::int32_t Success = 0;
constexpr std::int32_t PortUnavailable = 1;
constexpr std::int32_t NoConnection = 2;
constexpr std::int32_t DeviceNotFound = 3;
constexpr std::int32_t WrongParameterType = 4;
constexpr std::int32_t InvalidParameterValue = 5;
constexpr std::int32_t DataError = 6;
constexpr std::int32_t InternalError = 7;
// The last of the driver's own codes.
constexpr std::int32_t LastDriverCode = InternalError;
constexpr std::int32_t Cancelled = -1;

} // namespace quill::registry::results
