#include "platform/kernel/file_calls.h"

#include "platform/kernel/fault_injection.h"

#include <cerrno>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace quill::kernel::sys {

namespace {

// An injected failure of `kind`: errno set as the system would, -1 returned by the caller.
bool Injected(TFaultKind kind) {
    if (const int error = FaultInjected(kind)) {
        errno = error;
        return true;
    }
    return false;
}

} // namespace

int OpenAt(int folder, const char* name, int flags, mode_t mode) {
    if (Injected(TFaultKind::Open)) return -1;
    return ::openat(folder, name, flags, mode);
}
int Close(int fd) {
    return ::close(fd);
}
ssize_t Read(int fd, void* data, std::size_t size) {
    if (Injected(TFaultKind::Read)) return -1;
    return ::read(fd, data, size);
}
ssize_t Write(int fd, const void* data, std::size_t size) {
    if (const int error = FaultInjected(TFaultKind::Write)) {
        // A disk that fills up takes the first part of a write and refuses the rest: the first
        // injected "no space" writes half and reports it, as the system does.
        if (error == ENOSPC && size > 1 && FaultsFired(TFaultKind::Write) == 1)
            return ::write(fd, data, size / 2);
        errno = error;
        return -1;
    }
    return ::write(fd, data, size);
}
int Fsync(int fd) {
    if (Injected(TFaultKind::Fsync)) return -1;
    return ::fsync(fd);
}
int Fstat(int fd, struct stat* info) {
    return ::fstat(fd, info);
}
int LstatAt(int folder, const char* name, struct stat* info) {
    return ::fstatat(folder, name, info, AT_SYMLINK_NOFOLLOW);
}
int Fchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}
int FchmodAt(int folder, const char* name, mode_t mode) {
    return ::fchmodat(folder, name, mode, 0);
}
int Fchown(int fd, uid_t owner, gid_t group) {
    return ::fchown(fd, owner, group);
}
int Ftruncate(int fd, off_t size) {
    return ::ftruncate(fd, size);
}
int MkdirAt(int folder, const char* name, mode_t mode) {
    return ::mkdirat(folder, name, mode);
}
int UnlinkAt(int folder, const char* name, int flags) {
    return ::unlinkat(folder, name, flags);
}
int RenameAt(int fromFolder, const char* from, int toFolder, const char* to) {
    if (Injected(TFaultKind::Rename)) return -1;
    return ::renameat(fromFolder, from, toFolder, to);
}
int LinkUnnamed(int fd, int toFolder, const char* to) {
    // Naming an unnamed file is how a replacement takes its place: a rename for the fault tests.
    if (Injected(TFaultKind::Rename)) return -1;
    // Linking through /proc needs no privilege, unlike AT_EMPTY_PATH.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), toFolder, to, AT_SYMLINK_FOLLOW);
}
ssize_t ReadLinkAt(int folder, const char* name, char* buffer, std::size_t size) {
    return ::readlinkat(folder, name, buffer, size);
}
int Flock(int fd, int operation) {
    if (Injected(TFaultKind::Lock)) return -1;
    return ::flock(fd, operation);
}
int GetStatusFlags(int fd) {
    return ::fcntl(fd, F_GETFL);
}
int SetStatusFlags(int fd, int flags) {
    return ::fcntl(fd, F_SETFL, flags);
}

} // namespace quill::kernel::sys
