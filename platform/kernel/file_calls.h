// The system calls behind every file, folder and lock step of the library.
//
// Each function is the C library call of the same name and nothing more: it returns what that call
// returns and leaves errno as the call left it (EINTR included: callers retry where it matters).
// The file rules (folders.h, files.h, file_lock.h, file_replace.h) make their system calls only
// through these, so that a test can watch or fail any one of them in one place: OpenAt, Write,
// Fsync, RenameAt with LinkUnnamed, and Flock answer the fault switch (fault_injection.h), which
// costs one relaxed load when off. An injected "no space" Write first writes half of its bytes,
// as a filling disk does. Thread-safe.
#pragma once

#include <cstddef>
#include <sys/stat.h>
#include <sys/types.h>

namespace quill::kernel::sys {

int OpenAt(int folder, const char* name, int flags, mode_t mode = 0);
int Close(int fd);
ssize_t Read(int fd, void* data, std::size_t size);
ssize_t Write(int fd, const void* data, std::size_t size);
int Fsync(int fd);
int Fstat(int fd, struct stat* info);
// fstatat without following a final link.
int LstatAt(int folder, const char* name, struct stat* info);
int Fchmod(int fd, mode_t mode);
// fchmodat following a final link: callers make sure the name is no link first.
int FchmodAt(int folder, const char* name, mode_t mode);
int Fchown(int fd, uid_t owner, gid_t group);
int Ftruncate(int fd, off_t size);
int MkdirAt(int folder, const char* name, mode_t mode);
int UnlinkAt(int folder, const char* name, int flags);
int RenameAt(int fromFolder, const char* from, int toFolder, const char* to);
// Gives an unnamed file (O_TMPFILE) the name `to` in `toFolder`.
int LinkUnnamed(int fd, int toFolder, const char* to);
ssize_t ReadLinkAt(int folder, const char* name, char* buffer, std::size_t size);
int Flock(int fd, int operation);
// fcntl F_GETFL and F_SETFL.
int GetStatusFlags(int fd);
int SetStatusFlags(int fd, int flags);

} // namespace quill::kernel::sys
