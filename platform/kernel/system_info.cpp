#include "platform/kernel/system_info.h"

#include "platform/kernel/last_error.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/utsname.h>
#include <unistd.h>

namespace quill::kernel {

namespace {
// Reads a decimal number at `text`, advancing past it and one following ".".
std::uint32_t NextNumber(const char*& text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end == text) return 0;
    text = end;
    if (*text == '.') ++text;
    return static_cast<std::uint32_t>(value);
}
} // namespace

bool GetVersionExA(OSVERSIONINFOA* info) {
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::memset(reinterpret_cast<char*>(info) + sizeof info->dwOSVersionInfoSize, 0,
                sizeof *info - sizeof info->dwOSVersionInfoSize);
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    utsname name{};
    if (uname(&name) == 0) {
        const char* release = name.release;
        info->dwMajorVersion = NextNumber(release);
        info->dwMinorVersion = NextNumber(release);
        info->dwBuildNumber = NextNumber(release);
    }
    return true;
}

bool GetComputerNameA(std::string* name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    char buffer[HOST_NAME_MAX + 1] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    std::string result(buffer);
    if (const auto dot = result.find('.'); dot != std::string::npos) result.resize(dot);
    *name = std::move(result);
    return true;
}

std::uint32_t GetCurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

bool ProcessIdToSessionId(std::uint32_t processId, std::uint32_t* sessionId) {
    if (!sessionId) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const pid_t session = getsid(static_cast<pid_t>(processId));
    if (session < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    *sessionId = static_cast<std::uint32_t>(session);
    return true;
}

} // namespace quill::kernel
