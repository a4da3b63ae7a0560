#include "platform/kernel/special_folders.h"

#include "platform/kernel/folders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace quill::kernel {

namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

bool IsDirectory(const std::string& path) {
    return OpenFolder(path, TFolderUse::Walk).Valid();
}

} // namespace

bool ForceDirectories(const std::string& path, unsigned mode) {
    return MakeFolders(path, mode, TFolderUse::Walk).Valid();
}

std::string SHGetSpecialFolderPath(int csidl, bool create) {
    std::string folder;
    if (const char* overridden = std::getenv("QUILL_DATA_DIR"); overridden && *overridden) {
        folder = overridden;
    } else if (csidl == CSIDL_COMMON_APPDATA) {
        folder = "/var/lib";
    } else if (csidl == CSIDL_APPDATA) {
        if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
            folder = xdg;
        else if (std::string home = HomeFolder(); !home.empty())
            folder = home + "/.local/share";
    } else {
        return {};
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty()) return {};
    if (create ? !ForceDirectories(folder) : !IsDirectory(folder)) return {};
    return folder;
}

} // namespace quill::kernel
