#include "platform/kernel/long_path.h"

#include <cerrno>
#include <sys/stat.h>

namespace quill::kernel {

bool GetLongPathNameA(const std::string& shortPath, std::string* longPath) {
    if (!longPath || shortPath.empty()) {
        errno = EINVAL;
        return false;
    }
    struct stat info {};
    if (lstat(shortPath.c_str(), &info) != 0) return false;
    *longPath = shortPath;
    return true;
}

} // namespace quill::kernel
