// The Windows side of file_lock.h: LockFileEx on the lock file's first byte. A lock belongs to one
// handle, so two objects of one process exclude each other as two processes do, and the system
// lets it go when its holder's process ends. Every wait is bounded as on Linux.
#include "platform/kernel/file_lock.h"

#include "platform/kernel/files.h"
#include "platform/kernel/win32/win_calls.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace quill::kernel {

TFileLock::TFileLock(const TFileHandle& folder, std::string_view name) {
    FFile = OpenFileAt(folder, name, TFileAccess::Read, TCreation::OrCreate, 0644, false);
}

TFileLock::~TFileLock() {
    Unlock();
}

bool TFileLock::Lock(unsigned waitMs) {
    if (!FFile) return false;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    auto pause = std::chrono::microseconds(50);
    for (;;) {
        if (win32::LockNow(FFile.Get())) {
            FHeld = true;
            return true;
        }
        if (::GetLastError() != ERROR_LOCK_VIOLATION && ::GetLastError() != ERROR_IO_PENDING)
            return false;
        const auto now = Clock::now();
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
}

void TFileLock::Unlock() {
    if (FHeld && FFile) {
        OVERLAPPED at{};
        ::UnlockFileEx(FFile.Get(), 0, 1, 0, &at);
    }
    FHeld = false;
}

} // namespace quill::kernel
