#include "platform/kernel/file_calls.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace quill::kernel::sys {

int OpenAt(int folder, const char* name, int flags, mode_t mode) {
    return ::openat(folder, name, flags, mode);
}
int Close(int fd) {
    return ::close(fd);
}
ssize_t Read(int fd, void* data, std::size_t size) {
    return ::read(fd, data, size);
}
ssize_t Write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}
int Fsync(int fd) {
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
    return ::renameat(fromFolder, from, toFolder, to);
}
int LinkUnnamed(int fd, int toFolder, const char* to) {
    // Linking through /proc needs no privilege, unlike AT_EMPTY_PATH.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), toFolder, to, AT_SYMLINK_FOLLOW);
}
ssize_t ReadLinkAt(int folder, const char* name, char* buffer, std::size_t size) {
    return ::readlinkat(folder, name, buffer, size);
}
int Flock(int fd, int operation) {
    return ::flock(fd, operation);
}
int GetStatusFlags(int fd) {
    return ::fcntl(fd, F_GETFL);
}
int SetStatusFlags(int fd, int flags) {
    return ::fcntl(fd, F_SETFL, flags);
}

} // namespace quill::kernel::sys
