// The platform's special folders (SHGetSpecialFolderPath) as they stand on Linux.
//
// QUILL_DATA_DIR, when set, replaces both folders (tests use it). Otherwise the common
// application-data folder is /var/lib and the user's is $XDG_DATA_HOME or ~/.local/share.
// Paths come back without a trailing "/". Reads the environment on every call.
#pragma once

#include <string>

namespace quill::kernel {

constexpr int CSIDL_APPDATA = 0x1A;
constexpr int CSIDL_COMMON_APPDATA = 0x23;

// The folder `csidl`; with `create`, missing folders are made (mode 0755). Empty on failure
// (unknown folder, or it does not exist, cannot be made or fails the folder rules of folders.h).
std::string SHGetSpecialFolderPath(int csidl, bool create);

// Creates `path` with all missing parents (mode 0755, the last one `mode`), by the folder rules of
// folders.h (no link followed, no folder that another user could tamper with); true when it
// exists and may be used afterwards.
bool ForceDirectories(const std::string& path, unsigned mode = 0755);

} // namespace quill::kernel
