// The Windows side of named_mutex.h: the system's own mutexes. "Global\" names are machine-wide,
// as on Linux. The system never waits in CreateMutexA: ownership asked for at creation is granted
// only when this call made the mutex, so a mutex that another user holds cannot stop a creator.
#include "platform/kernel/named_mutex.h"

#include "platform/kernel/win32/win_calls.h"

#include <cstddef>

namespace quill::kernel {

static_assert(sizeof(SECURITY_ATTRIBUTES) == sizeof(::SECURITY_ATTRIBUTES));
static_assert(offsetof(SECURITY_ATTRIBUTES, lpSecurityDescriptor) ==
              offsetof(::SECURITY_ATTRIBUTES, lpSecurityDescriptor));
static_assert(offsetof(SECURITY_ATTRIBUTES, bInheritHandle) ==
              offsetof(::SECURITY_ATTRIBUTES, bInheritHandle));

HANDLE CreateMutexA(const SECURITY_ATTRIBUTES* attributes, BOOL initialOwner, const char* name) {
    auto* system = const_cast<::SECURITY_ATTRIBUTES*>(
        reinterpret_cast<const ::SECURITY_ATTRIBUTES*>(attributes));
    return ::CreateMutexA(system, initialOwner, name);
}

HANDLE OpenMutexA(DWORD access, BOOL inheritHandle, const char* name) {
    return ::OpenMutexA(access, inheritHandle, name);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return ::WaitForSingleObject(handle, milliseconds);
}

BOOL ReleaseMutex(HANDLE handle) {
    return ::ReleaseMutex(handle);
}

BOOL CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

} // namespace quill::kernel
