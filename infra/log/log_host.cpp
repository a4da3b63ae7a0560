#include "infra/log/log_host.h"

#include "infra/log/log_name.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill::infra {

namespace {

bool OwnedByUs(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

} // namespace

std::string LogHostLockName() {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%06lX", static_cast<unsigned long>(getpid()));
    return std::string("_com.pellam.baselog.host_") + buffer;
}

std::unique_ptr<TLogHost> TLogHost::Elect() {
    auto lock = std::make_unique<TLogLock>(LogHostLockName());
    if (!lock->Valid() || !OwnedByUs(lock->Fd()) || !lock->TryLock()) return nullptr;
    // A file left by an earlier process with our id may still hold its name.
    if (ftruncate(lock->Fd(), 0) != 0) return nullptr;
    return std::unique_ptr<TLogHost>(new TLogHost(std::move(lock)));
}

TLogHost::~TLogHost() {
    FLock->Remove();
    FLock->Unlock();
}

bool TLogHost::Publish(const std::string& logName) {
    if (logName.empty() || logName.size() > kMaxLogName) return false;
    const int fd = FLock->Fd();
    if (ftruncate(fd, 0) != 0) return false;
    const ssize_t written = pwrite(fd, logName.data(), logName.size(), 0);
    return written == static_cast<ssize_t>(logName.size());
}

std::string FindPublishedLogName() {
    const std::string area = LogLockArea();
    if (area.empty()) return {};
    const int folder = OpenFolderNoFollow(area);
    if (folder < 0) return {};
    const int fd = openat(folder, LogHostLockName().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    close(folder);
    if (fd < 0) return {};
    std::string name;
    // The probe succeeds only when nobody holds the host lock: then the file is stale.
    if (OwnedByUs(fd) && flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        char buffer[kMaxLogName + 1];
        const ssize_t n = pread(fd, buffer, sizeof buffer, 0);
        if (n > 0 && static_cast<std::size_t>(n) <= kMaxLogName)
            name.assign(buffer, static_cast<std::size_t>(n));
    }
    close(fd); // also drops a probe lock that was granted
    return name;
}

} // namespace quill::infra
