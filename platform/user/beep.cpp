#include "platform/user/beep.h"

#include <unistd.h>

namespace quill::user {

BOOL Beep(DWORD, DWORD) {
    const int fd = isatty(STDERR_FILENO)   ? STDERR_FILENO
                   : isatty(STDOUT_FILENO) ? STDOUT_FILENO
                                           : -1;
    if (fd >= 0) {
        // The bell is a courtesy: a terminal that cannot take it is no failure of the caller's.
        [[maybe_unused]] const ssize_t written = write(fd, "\a", 1);
    }
    return TRUE;
}

} // namespace quill::user
