#include "infra/log/log_lock.h"

#include "infra/log/log_folder.h"
#include "platform/kernel/special_folders.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill::infra {

int OpenFolderNoFollow(const std::string& path) {
    return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

int OpenInFolder(int folderFd, const std::string& name, int accessFlags, unsigned mode) {
    const int flags = accessFlags | O_NOFOLLOW | O_CLOEXEC;
    // A few rounds cover a file that another writer creates or removes between the two opens.
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = openat(folderFd, name.c_str(), flags);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = openat(folderFd, name.c_str(), flags | O_CREAT | O_EXCL, static_cast<mode_t>(mode));
        if (fd >= 0) {
            fchmod(fd, static_cast<mode_t>(mode));
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

std::string LogLockArea() {
    const std::string folder = LogFolder();
    if (folder.empty()) return {};
    const std::string area = folder + ".locks";
    if (mkdir(area.c_str(), 01777) == 0) chmod(area.c_str(), 01777);
    struct stat st {};
    if (lstat(area.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    return area + "/";
}

TLogLock::TLogLock(const std::string& name) {
    const std::string area = LogLockArea();
    if (area.empty()) return;
    FPath = area + name;
    const int folder = OpenFolderNoFollow(area);
    if (folder < 0) return;
    // Read and write when allowed (the host keeps its published name in its file); a lock only
    // needs a descriptor, so read access is enough for another user's lock file.
    FFd = OpenInFolder(folder, name, O_RDWR, 0666);
    if (FFd < 0) FFd = OpenInFolder(folder, name, O_RDONLY, 0666);
    close(folder);
}

TLogLock::~TLogLock() {
    if (FFd >= 0) close(FFd);
}

bool TLogLock::Lock() {
    if (FFd < 0) return false;
    while (flock(FFd, LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool TLogLock::TryLock() {
    if (FFd < 0) return false;
    while (flock(FFd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

void TLogLock::Unlock() {
    if (FFd >= 0) flock(FFd, LOCK_UN);
}

void TLogLock::Remove() {
    if (FFd < 0 || FPath.empty()) return;
    // Only our own file: the name may meanwhile stand for another one.
    struct stat mine {
    }, named{};
    if (fstat(FFd, &mine) != 0 || lstat(FPath.c_str(), &named) != 0) return;
    if (mine.st_dev == named.st_dev && mine.st_ino == named.st_ino) unlink(FPath.c_str());
}

} // namespace quill::infra
