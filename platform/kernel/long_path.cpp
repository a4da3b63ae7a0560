#include "platform/kernel/long_path.h"

#include "platform/kernel/last_error.h"

#include <cerrno>
#include <sys/stat.h>

namespace quill::kernel {

bool GetLongPathNameA(const std::string& shortPath, std::string* longPath) {
    if (!longPath || shortPath.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    struct stat info {};
    if (lstat(shortPath.c_str(), &info) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    *longPath = shortPath;
    return true;
}

} // namespace quill::kernel
