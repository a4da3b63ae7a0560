#include "platform/user/beep.h"

#include <mutex>
#include <unistd.h>

namespace quill::user {

namespace {
std::mutex gLock;
TBeepRecord gRecord;
} // namespace

BOOL Beep(DWORD frequency, DWORD duration) {
    {
        std::lock_guard guard(gLock);
        ++gRecord.Count;
        gRecord.Frequency = frequency;
        gRecord.Duration = duration;
    }
    const int fd = isatty(STDERR_FILENO)   ? STDERR_FILENO
                   : isatty(STDOUT_FILENO) ? STDOUT_FILENO
                                           : -1;
    if (fd >= 0) {
        // The bell is a courtesy: a terminal that cannot take it is no failure of the caller's.
        [[maybe_unused]] const ssize_t written = write(fd, "\a", 1);
    }
    return TRUE;
}

TBeepRecord GetBeepRecord() {
    std::lock_guard guard(gLock);
    return gRecord;
}

} // namespace quill::user
