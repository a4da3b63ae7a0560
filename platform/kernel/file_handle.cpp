#include "platform/kernel/file_handle.h"

#include "platform/kernel/file_calls.h"

#include <cerrno>

namespace quill::kernel {

void TFileHandle::Reset(TNative fd) {
    if (FFd >= 0) {
        const int saved = errno;
        sys::Close(FFd);
        errno = saved;
    }
    FFd = fd;
    FError = {};
    FPath.clear();
}

} // namespace quill::kernel
