// One try at a file lock and its release on Windows: LockFileEx on the lock file's first byte. A
// lock belongs to one handle, so two objects of one process exclude each other as two processes
// do, and the system lets it go when its holder's process ends.
#include "platform/kernel/file_lock.h"

#include "platform/kernel/win32/win_calls.h"

namespace quill::kernel {

TFileLock::TTry TFileLock::TryLock(const TFileHandle& file) {
    if (win32::LockNow(file.Get())) return TTry::Taken;
    const ::DWORD error = ::GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? TTry::Busy : TTry::Failed;
}

void TFileLock::Release(const TFileHandle& file) {
    OVERLAPPED at{};
    ::UnlockFileEx(file.Get(), 0, 1, 0, &at);
}

} // namespace quill::kernel
