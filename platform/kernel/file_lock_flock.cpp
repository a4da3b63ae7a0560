// One try at a file lock and its release on Linux: an advisory flock() on the lock file.
#include "platform/kernel/file_lock.h"

#include "platform/kernel/file_calls.h"

#include <cerrno>
#include <sys/file.h>

namespace quill::kernel {

TFileLock::TTry TFileLock::TryLock(const TFileHandle& file) {
    if (sys::Flock(file.Get(), LOCK_EX | LOCK_NB) == 0) return TTry::Taken;
    return errno == EWOULDBLOCK || errno == EINTR ? TTry::Busy : TTry::Failed;
}

void TFileLock::Release(const TFileHandle& file) {
    sys::Flock(file.Get(), LOCK_UN);
}

} // namespace quill::kernel
