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
// (unknown folder, or it does not exist and cannot be made).
std::string SHGetSpecialFolderPath(int csidl, bool create);

// Creates `path` with all missing parents, each with `mode`; true when it exists afterwards.
bool ForceDirectories(const std::string& path, unsigned mode = 0755);

} // namespace quill::kernel
