#include "platform/kernel/codepage.h"
#include "platform/kernel/fault_injection.h"
#include "platform/kernel/last_error.h"
#include "platform/kernel/win32/win_calls.h"

#include <aclapi.h>

#include <cerrno>

namespace quill::kernel::win32 {

namespace {

// The system error that an injected error number stands for; 0 when the step may go ahead.
::DWORD Injected(TFaultKind kind) {
    const int error = FaultInjected(kind);
    if (error == 0) return 0;
    if (error == ENOLCK) return ERROR_SHARING_BUFFER_EXCEEDED; // no locks left
    return LastErrorFromErrno(error);
}

bool Refused(TFaultKind kind) {
    if (const ::DWORD code = Injected(kind)) {
        ::SetLastError(code);
        return true;
    }
    return false;
}

bool IsBroad(PSID sid) {
    static const WELL_KNOWN_SID_TYPE kBroad[] = {WinWorldSid, WinAuthenticatedUserSid,
                                                 WinBuiltinUsersSid, WinInteractiveSid,
                                                 WinAnonymousSid};
    for (const WELL_KNOWN_SID_TYPE type : kBroad) {
        BYTE buffer[SECURITY_MAX_SID_SIZE];
        ::DWORD size = sizeof buffer;
        if (::CreateWellKnownSid(type, nullptr, buffer, &size) && ::EqualSid(sid, buffer))
            return true;
    }
    return false;
}

} // namespace

std::wstring WidePath(std::string_view path) {
    const std::u16string wide = Utf8ToWide(path);
    return std::wstring(wide.begin(), wide.end());
}

std::string Utf8Path(std::wstring_view path) {
    std::string text = WideToUtf8(std::u16string(path.begin(), path.end()));
    for (char& c : text)
        if (c == '\\') c = '/';
    return text;
}

std::string Inside(const TFileHandle& folder, std::string_view name) {
    std::string path = folder.Path();
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
    return path.append(name);
}

HANDLE Open(const std::wstring& path, ::DWORD access, ::DWORD disposition, ::DWORD flags) {
    if (Refused(TFaultKind::Open)) return INVALID_HANDLE_VALUE;
    return ::CreateFileW(path.c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         disposition, flags, nullptr);
}

BOOL Write(HANDLE file, const void* data, ::DWORD size, ::DWORD* written) {
    *written = 0;
    if (const ::DWORD code = Injected(TFaultKind::Write)) {
        // A disk that fills up takes the first part of a write and refuses the rest: the first
        // injected "no space" writes half and reports it, as the system does.
        if (code == ERROR_DISK_FULL && size > 1 && FaultsFired(TFaultKind::Write) == 1)
            return ::WriteFile(file, data, size / 2, written, nullptr);
        ::SetLastError(code);
        return FALSE;
    }
    return ::WriteFile(file, data, size, written, nullptr);
}

BOOL Read(HANDLE file, void* data, ::DWORD size, ::DWORD* read) {
    *read = 0;
    if (Refused(TFaultKind::Read)) return FALSE;
    return ::ReadFile(file, data, size, read, nullptr);
}

BOOL Flush(HANDLE file) {
    if (Refused(TFaultKind::Fsync)) return FALSE;
    return ::FlushFileBuffers(file);
}

BOOL Move(const std::wstring& from, const std::wstring& to, ::DWORD flags) {
    if (Refused(TFaultKind::Rename)) return FALSE;
    return ::MoveFileExW(from.c_str(), to.c_str(), flags);
}

BOOL LockNow(HANDLE file) {
    if (Refused(TFaultKind::Lock)) return FALSE;
    OVERLAPPED at{};
    return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
}

TFileError LastFileError() {
    const ::DWORD code = ::GetLastError();
    return TFileError::FromSystem(static_cast<int>(code != 0 ? code : ERROR_IO_DEVICE));
}

TBroadAccess BroadAccessOf(HANDLE object) {
    TBroadAccess access;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(object, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return access;
    access.Known = true;
    if (!dacl) {
        access.Own = access.ToFiles = FILE_ALL_ACCESS;
    } else {
        GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                                FILE_ALL_ACCESS};
        for (::DWORD i = 0; i < dacl->AceCount; ++i) {
            void* entry = nullptr;
            if (!::GetAce(dacl, i, &entry)) continue;
            const auto* header = static_cast<const ACE_HEADER*>(entry);
            if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
            auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
            if (!IsBroad(reinterpret_cast<PSID>(&allowed->SidStart))) continue;
            ::DWORD mask = allowed->Mask;
            ::MapGenericMask(&mask, &mapping);
            if (!(header->AceFlags & INHERIT_ONLY_ACE)) access.Own |= mask;
            if (header->AceFlags & OBJECT_INHERIT_ACE) access.ToFiles |= mask;
        }
    }
    ::LocalFree(descriptor);
    return access;
}

} // namespace quill::kernel::win32
