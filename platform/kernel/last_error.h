// The calling thread's last-error value (GetLastError / SetLastError) and its message text.
//
// Platform services that fail return false, nil or 0 and leave a platform error code here; codes
// from the C library are mapped with LastErrorFromErrno. Each thread has its own value.
#pragma once

#include <cstdint>
#include <string>

namespace quill::kernel {

using DWORD = std::uint32_t;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
constexpr DWORD ERROR_IO_DEVICE = 1117;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_NOT_OWNER = 288;
constexpr DWORD ERROR_REVISION_MISMATCH = 1306;
constexpr DWORD ERROR_CANT_RESOLVE_FILENAME = 1921;

DWORD GetLastError();
void SetLastError(DWORD code);
// The platform code for a C-library errno value (ERROR_ACCESS_DENIED for EACCES, and so on).
DWORD LastErrorFromErrno(int error);
// SetLastError(LastErrorFromErrno(errno)).
void SetLastErrorFromErrno();
// The message text of a platform error code (English, Windows-1251), as the run-time library's
// SysErrorMessage gives it.
std::string SysErrorMessage(DWORD code);

} // namespace quill::kernel
