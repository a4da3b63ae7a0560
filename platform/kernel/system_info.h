// Facts about the running system: the platform version record, the computer name and the session.
//
// GetVersionExA reports the NT family (platform id 2): this layer offers that family's services
// (security descriptors, named kernel objects shared by all sessions); the version numbers are the
// kernel release from uname. GetComputerNameA gives the host name (gethostname), cut at the first
// "." as the platform's short names are. ProcessIdToSessionId gives the session id of a process
// (getsid: the login session it belongs to). All functions are thread-safe; failures return false
// and set the thread's last error (last_error.h).
#pragma once

#include <cstdint>
#include <string>

namespace quill::kernel {

constexpr std::uint32_t VER_PLATFORM_WIN32s = 0;
constexpr std::uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
    std::uint32_t dwOSVersionInfoSize;
    std::uint32_t dwMajorVersion;
    std::uint32_t dwMinorVersion;
    std::uint32_t dwBuildNumber;
    std::uint32_t dwPlatformId;
    char szCSDVersion[128];
};

// `info->dwOSVersionInfoSize` must be sizeof(OSVERSIONINFOA); false (ERROR_INVALID_PARAMETER) otherwise.
bool GetVersionExA(OSVERSIONINFOA* info);

// The computer's name; false when the system cannot tell.
bool GetComputerNameA(std::string* name);

std::uint32_t GetCurrentProcessId();
// The session of `processId`; false when there is no such process.
bool ProcessIdToSessionId(std::uint32_t processId, std::uint32_t* sessionId);

} // namespace quill::kernel
