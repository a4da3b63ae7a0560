// The Windows side of system_info.h: the system's own answers. The computer name comes as the
// contract's text for names that end up in paths (UTF-8).
#include "platform/kernel/system_info.h"

#include "platform/kernel/codepage.h"

#include <windows.h>

#include <cstddef>

namespace quill::kernel {

static_assert(sizeof(OSVERSIONINFOA) == sizeof(::OSVERSIONINFOA));
static_assert(offsetof(OSVERSIONINFOA, dwPlatformId) == offsetof(::OSVERSIONINFOA, dwPlatformId));

bool GetVersionExA(OSVERSIONINFOA* info) {
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return ::GetVersionExA(reinterpret_cast<::OSVERSIONINFOA*>(info));
#pragma GCC diagnostic pop
}

bool GetComputerNameA(std::string* name) {
    if (!name) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    ::DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(buffer, &size)) return false;
    *name = WideToUtf8(std::u16string(buffer, buffer + size));
    return true;
}

std::uint32_t GetCurrentProcessId() {
    return ::GetCurrentProcessId();
}

bool ProcessIdToSessionId(std::uint32_t processId, std::uint32_t* sessionId) {
    if (!sessionId) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    ::DWORD session = 0;
    if (!::ProcessIdToSessionId(processId, &session)) return false;
    *sessionId = session;
    return true;
}

} // namespace quill::kernel
