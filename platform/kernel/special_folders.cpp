#include "platform/kernel/special_folders.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill::kernel {

namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

bool ForceDirectories(const std::string& path, unsigned mode) {
    if (path.empty()) return false;
    if (IsDirectory(path)) return true;
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty() || IsDirectory(partial)) continue;
        if (mkdir(partial.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) return false;
    }
    return IsDirectory(path);
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
