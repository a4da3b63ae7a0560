// The machine-wide log folder and the lock area beside the logs.
//
// The log folder is "OrvixEquipment/LOGs/" under the common application-data folder: a shared
// folder (mode 1777, world-writable with the sticky bit, owned by root or the caller), so that
// every user's processes can keep their logs there and none can remove or replace another's. When
// the common folder cannot be used (a plain user cannot make it, or it fails the folder rules of
// kernel/folders.h), the folder lies under the user's own application-data folder instead and is
// private to the user (mode 0755): nothing inside the user's home is made world-writable.
// Diagnostic dumps go there too.
//
// The lock area "<log folder>.locks/" holds the machine-wide lock files of the log: shared (1777)
// beside a shared log folder, private beside a private one. Lock files carry no data.
//
// Everything is opened by the folder rules: no link followed, no folder of another user trusted.
// Thread-safe; failures give an empty name or an invalid handle.
#pragma once

#include "platform/kernel/file_handle.h"

#include <string>

namespace quill::infra {

// The folder with a trailing "/", created with its parents if missing; empty when no folder can
// be used.
std::string LogFolder();
// The log folder, opened; invalid when there is none.
kernel::TFileHandle OpenLogFolder();
// The lock area, created when missing; invalid when there is no usable log folder.
kernel::TFileHandle OpenLogLockArea();

} // namespace quill::infra
