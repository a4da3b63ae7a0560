#include "platform/kernel/last_error.h"

namespace quill::kernel {

namespace {
// Per-thread values stay in the ordinary (dynamic) TLS model: the run-time is loaded with dlopen
// behind the plug-in, and a module with static TLS can fail to load once other libraries have
// used up the loader's small reserve; measured, the static model gave the input path no gain.
thread_local DWORD tLastError = ERROR_SUCCESS;
} // namespace

DWORD GetLastError() {
    return tLastError;
}
void SetLastError(DWORD code) {
    tLastError = code;
}

} // namespace quill::kernel
