// The Windows side of last_error.h: the thread's last error is the system's own, so that what a
// system call leaves there and what the library sets are one value.
#include "platform/kernel/last_error.h"

#include <windows.h>

namespace quill::kernel {

DWORD GetLastError() {
    return ::GetLastError();
}

void SetLastError(DWORD code) {
    ::SetLastError(code);
}

} // namespace quill::kernel
