// The Windows side of files.h. A file is opened by its path inside the folder handle's path, never
// through a link (a reparse point), and only when it is a file on a disk: a device name planted or
// given ("CON", "NUL", "COM1"...) is refused before anything is opened, and whatever else turns out
// not to be a disk file is closed again unread. Writers share files with each other (the log is
// appended to by every process) and never lock them against removal.
//
// Modes mean nothing here: a file made here gets the access list its folder hands down. With
// `callerOnly` a file that everyone at large may write (by its access list) or that has a second
// name is refused, as on Linux; who owns it is left to the access list.
#include "platform/kernel/files.h"

#include "platform/kernel/folders.h"
#include "platform/kernel/win32/win_calls.h"

#include <algorithm>
#include <cctype>

namespace quill::kernel {

namespace {

using namespace win32;

constexpr ::DWORD kFileFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

// The names the system gives to devices in every folder, whatever their extension.
bool IsDeviceName(std::string_view name) {
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
           base[3] >= '1' && base[3] <= '9';
}

::DWORD AccessRights(TFileAccess access) {
    switch (access) {
    case TFileAccess::Read:
        return GENERIC_READ;
    case TFileAccess::Write:
        return GENERIC_WRITE;
    case TFileAccess::ReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    case TFileAccess::Append:
        // Without the right to write data anywhere, every write goes to the end as it then is.
        return FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
    }
    return GENERIC_READ;
}

::DWORD Disposition(TCreation creation) {
    switch (creation) {
    case TCreation::Existing:
        return OPEN_EXISTING;
    case TCreation::New:
        return CREATE_NEW;
    case TCreation::OrCreate:
    case TCreation::Renew:
        return OPEN_ALWAYS;
    }
    return OPEN_EXISTING;
}

// Why the opened `file` may not be used; 0 when it may.
::DWORD Refusal(HANDLE file, bool callerOnly, bool followed) {
    if (::GetFileType(file) != FILE_TYPE_DISK) return ERROR_ACCESS_DENIED;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return ::GetLastError();
    if (!followed && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return ERROR_CANT_RESOLVE_FILENAME;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
    if (callerOnly) {
        const TBroadAccess broad = BroadAccessOf(file);
        if (!broad.Known || (broad.Own & (FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC)) ||
            info.nNumberOfLinks > 1)
            return ERROR_ACCESS_DENIED;
    }
    return 0;
}

// Opens `name` in `folder`; with `follow`, a link there is followed as the system follows it (a
// host's path), else it is refused.
TFileHandle Open(const TFileHandle& folder, std::string_view name, TFileAccess access,
                 TCreation creation, bool callerOnly, bool follow) {
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("/\\:") != std::string_view::npos) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    if (IsDeviceName(name)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return {};
    }
    const std::string path = Inside(folder, name);
    // The file's kind and size are read from every handle; whoever may list the folder may read
    // them.
    const ::DWORD rights =
        AccessRights(access) | FILE_READ_ATTRIBUTES | (callerOnly ? READ_CONTROL : 0);
    const ::DWORD flags = follow ? FILE_ATTRIBUTE_NORMAL : kFileFlags;
    const std::wstring wide = WidePath(path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        // What may fail for want of memory comes before the open, so that the handle the system
        // hands out is owned at once.
        std::string kept(path);
        const HANDLE handle = win32::Open(wide, rights, Disposition(creation), flags);
        if (handle == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS && creation != TCreation::New)
                ::SetLastError(ERROR_ACCESS_DENIED);
            return {};
        }
        TFileHandle file(handle, std::move(kept));
        const bool made =
            ::GetLastError() != ERROR_ALREADY_EXISTS && creation != TCreation::Existing;
        const ::DWORD why = Refusal(handle, callerOnly, follow);
        if (why == 0) return file;
        // A file of the caller's that others could write never takes the caller's data: a fresh
        // one in a private folder does.
        if (creation == TCreation::Renew && callerOnly && !made && why == ERROR_ACCESS_DENIED &&
            OpenFolder(folder.Path(), TFolderUse::Private).Valid()) {
            file.Reset();
            if (!::DeleteFileW(wide.c_str())) return {};
            continue;
        }
        ::SetLastError(why);
        return {};
    }
    ::SetLastError(ERROR_ACCESS_DENIED);
    return {};
}

// Writes all `size` bytes; returns how many went out (all, or fewer with the last error set).
std::size_t WriteSome(HANDLE file, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ::DWORD chunk = static_cast<::DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        ::DWORD written = 0;
        const BOOL ok = win32::Write(file, p + done, chunk, &written);
        done += written;
        if (!ok) break;
        if (written == 0) {
            ::SetLastError(ERROR_IO_DEVICE);
            break;
        }
    }
    return done;
}

bool SizeOf(HANDLE file, std::uint64_t& size) {
    LARGE_INTEGER value{};
    if (!::GetFileSizeEx(file, &value)) return false;
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

} // namespace

TFileHandle OpenFileAt(const TFileHandle& folder, std::string_view name, TFileAccess access,
                       TCreation creation, unsigned, bool callerOnly) {
    return WithError(Open(folder, name, access, creation, callerOnly, false));
}

TFileError WriteAll(const TFileHandle& file, const void* data, std::size_t size) {
    if (WriteSome(file.Get(), data, size) == size) return {};
    return LastFileError();
}

std::size_t AppendWhole(const TFileHandle& file, std::string_view data,
                        const std::function<std::size_t(std::size_t)>& wholeUpTo, TFileError* why) {
    std::uint64_t before = 0;
    const bool sized = SizeOf(file.Get(), before);
    const std::size_t done = WriteSome(file.Get(), data.data(), data.size());
    if (done == data.size()) return done;
    const TFileError error = LastFileError();
    if (why) *why = error;
    const std::size_t whole = std::min(wholeUpTo(done), done);
    std::uint64_t after = 0;
    if (whole >= done || !sized || !SizeOf(file.Get(), after) || after != before + done ||
        file.Path().empty())
        return done;
    // An appending handle may not cut the file: a second one, by the same path, does.
    const HANDLE cutter = ::CreateFileW(WidePath(file.Path()).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, kFileFlags, nullptr);
    if (cutter == INVALID_HANDLE_VALUE) return done;
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(before + whole);
    std::uint64_t now = 0;
    const bool cut = SizeOf(cutter, now) && now == after &&
                     ::SetFilePointerEx(cutter, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(cutter);
    ::CloseHandle(cutter);
    return cut ? whole : done;
}

TFileError ReadAll(const TFileHandle& file, std::string& contents, std::size_t limit) {
    contents.clear();
    std::uint64_t size = 0;
    if (SizeOf(file.Get(), size) && size > 0) {
        if (size > limit) return TFileError::Of(TFileError::TooLarge);
        contents.reserve(static_cast<std::size_t>(size) + 1);
    }
    char buffer[65536];
    for (;;) {
        ::DWORD n = 0;
        if (!win32::Read(file.Get(), buffer, sizeof buffer, &n)) {
            if (::GetLastError() == ERROR_HANDLE_EOF || ::GetLastError() == ERROR_BROKEN_PIPE)
                return {};
            return LastFileError();
        }
        if (n == 0) return {};
        if (n > limit - contents.size()) return TFileError::Of(TFileError::TooLarge);
        contents.append(buffer, n);
    }
}

TFileError ReadFileAt(std::string_view path, std::string& contents, std::size_t limit) {
    TResolvedPath where;
    if (const TFileError error = ResolvePath(path, where); error.Failed()) return error;
    const TFileHandle file = WithError(
        Open(where.Folder, where.Name, TFileAccess::Read, TCreation::Existing, false, true));
    if (!file) return file.Error();
    return ReadAll(file, contents, limit);
}

bool RegularFileExists(std::string_view path) {
    TResolvedPath where;
    if (ResolvePath(path, where).Failed() || IsDeviceName(where.Name)) return false;
    WIN32_FILE_ATTRIBUTE_DATA info{};
    return ::GetFileAttributesExW(WidePath(Inside(where.Folder, where.Name)).c_str(),
                                  GetFileExInfoStandard, &info) &&
           !(info.dwFileAttributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

} // namespace quill::kernel
