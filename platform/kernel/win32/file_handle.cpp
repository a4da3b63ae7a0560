#include "platform/kernel/file_handle.h"

#include <windows.h>

namespace quill::kernel {

void TFileHandle::Reset(TNative handle) {
    if (FFd != kNone) {
        const DWORD saved = ::GetLastError();
        ::CloseHandle(FFd);
        ::SetLastError(saved);
    }
    FFd = handle;
    FError = {};
    FPath.clear();
}

} // namespace quill::kernel
