#include "platform/kernel/file_handle.h"

#include "platform/kernel/file_calls.h"

#include <cerrno>

namespace quill::kernel {

void TFileHandle::Reset(int fd) {
    if (FFd >= 0) {
        const int saved = errno;
        sys::Close(FFd);
        errno = saved;
    }
    FFd = fd;
    FError = {};
}

} // namespace quill::kernel
