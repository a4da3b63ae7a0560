// The bounded wait for a file lock, the same on every system; one try and the release are the
// system's (file_lock_flock.cpp, win32/file_lock.cpp).
#include "platform/kernel/file_lock.h"

#include "platform/kernel/files.h"

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
        switch (TryLock(FFile)) {
        case TTry::Taken:
            FHeld = true;
            return true;
        case TTry::Failed:
            return false;
        case TTry::Busy:
            break;
        }
        const auto now = Clock::now();
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
}

void TFileLock::Unlock() {
    if (FHeld && FFile) Release(FFile);
    FHeld = false;
}

} // namespace quill::kernel
