// The Windows side of file_error.h: a TFileError carries the system's error code (GetLastError).
#include "platform/kernel/file_error.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/win32/win_calls.h"

#include <memory>

namespace quill::kernel {

namespace {
// The system has no code of its own for "a path that names no file": this one
// (ERROR_DIRECTORY_NOT_SUPPORTED) says the same.
constexpr int kIsFolder = 336;
// Codes that the cross-compiler's headers lack.
constexpr int kStoppedOnSymlink = 681;
constexpr int kDiskQuotaExceeded = 1295;
} // namespace

TFileError TFileError::Of(TKind kind) {
    switch (kind) {
    case None:
        return {};
    case NotFound:
        return TFileError(ERROR_FILE_NOT_FOUND);
    case Exists:
        return TFileError(ERROR_FILE_EXISTS);
    case AccessDenied:
        return TFileError(ERROR_ACCESS_DENIED);
    case Link:
        return TFileError(ERROR_CANT_RESOLVE_FILENAME);
    case IsFolder:
        return TFileError(kIsFolder);
    case TooLarge:
        return TFileError(ERROR_FILE_TOO_LARGE);
    case NoSpace:
        return TFileError(ERROR_DISK_FULL);
    case OutOfMemory:
        return TFileError(ERROR_NOT_ENOUGH_MEMORY);
    case Other:
        break;
    }
    return TFileError(ERROR_IO_DEVICE);
}

TFileError::TKind TFileError::Kind() const {
    switch (FCode) {
    case 0:
        return None;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY: // a file where a folder is asked for
        return NotFound;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return Exists;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_WRITE_PROTECT:
        return AccessDenied;
    case ERROR_CANT_RESOLVE_FILENAME:
    case ERROR_CANT_ACCESS_FILE:
    case kStoppedOnSymlink:
        return Link;
    case kIsFolder:
        return IsFolder;
    case ERROR_FILE_TOO_LARGE:
        return TooLarge;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case kDiskQuotaExceeded:
        return NoSpace;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return OutOfMemory;
    default:
        return Other;
    }
}

std::string TFileError::Text() const {
    // English, as on Linux, whatever the user's language: the text ends up in log lines and in
    // messages whose other words are English.
    wchar_t* text = nullptr;
    const ::DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    ::DWORD n = ::FormatMessageW(flags, nullptr, static_cast<::DWORD>(FCode),
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                 reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0)
        n = ::FormatMessageW(flags, nullptr, static_cast<::DWORD>(FCode), 0,
                             reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const std::unique_ptr<wchar_t, HLOCAL(WINAPI*)(HLOCAL)> freer(text, ::LocalFree);
    std::u16string message(text, text + n);
    while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' ||
                                message.back() == u' ' || message.back() == u'.'))
        message.pop_back();
    if (message.empty()) return "System error " + std::to_string(FCode);
    return WideToAnsi(message);
}

com::HRESULT HResultFromFileError(TFileError error) {
    if (error.Is(TFileError::OutOfMemory)) return static_cast<com::HRESULT>(E_OUTOFMEMORY);
    // A folder where a file is meant is refused access, as the system itself answers.
    const ::DWORD code = error.Is(TFileError::IsFolder) ? ERROR_ACCESS_DENIED
                                                        : static_cast<::DWORD>(error.SystemCode());
    return static_cast<com::HRESULT>(0x80070000u | (code & 0xFFFF));
}

} // namespace quill::kernel
