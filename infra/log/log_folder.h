// The machine-wide log folder: "OrvixEquipment/LOGs/" under the common application-data folder,
// or under the user's when the common one cannot be used. It is made open to every user (mode
// 1777: world-writable with the sticky bit), so that every user's processes can write their logs
// there and none can remove another's. Diagnostic dumps go there too.
#pragma once

#include <string>

namespace quill::infra {

// The folder with a trailing "/", created with its parents if missing; empty when no folder can
// be made.
std::string LogFolder();

} // namespace quill::infra
