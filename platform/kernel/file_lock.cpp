#include "platform/kernel/file_lock.h"

#include "platform/kernel/file_calls.h"
#include "platform/kernel/files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sys/file.h>
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
        if (sys::Flock(FFile.Get(), LOCK_EX | LOCK_NB) == 0) {
            FHeld = true;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        const auto now = Clock::now();
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
}

void TFileLock::Unlock() {
    if (FHeld && FFile) sys::Flock(FFile.Get(), LOCK_UN);
    FHeld = false;
}

} // namespace quill::kernel
