// The coded failures that cross the module boundary: ECodedException carries a signed 32-bit
// result code (and the list of codes it has carried) with its Windows-1251 message, and
// EHardwareEquipmentException is raised when a device operation ends with a non-zero device
// code. A header made for hosts: the raw call entry lets these escape, and since both classes
// live in the shared run-time the host catches the very types the library throws. Raising them
// with the message for a code is the library's business (infra/codes/coded_exception.h).
#pragma once

#include "platform/rtl/exception.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quill::infra {

using TCodeArray = std::vector<std::int32_t>;

class ECodedException : public rtl::Exception {
  public:
    // `message` is Windows-1251 text.
    ECodedException(std::int32_t code, std::string message);
    ~ECodedException() override;

    std::int32_t Code;
    TCodeArray Codes;
};

// Raised when a device operation ends with a non-zero device error code.
class EHardwareEquipmentException : public ECodedException {
  public:
    using ECodedException::ECodedException;
    ~EHardwareEquipmentException() override;
};

} // namespace quill::infra
