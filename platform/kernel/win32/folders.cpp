// The Windows side of folders.h. Each folder is opened by its path, never through a link (a
// reparse point: symbolic link or junction) where the library's own folders are walked, and checked
// against its use by its access list instead of owner and mode bits:
//   - Shared: nobody at large may remove, replace or write another user's files in it. The system's
//     equivalent of the sticky bit is an access list that lets every user add files and folders
//     but gives each full control only of what they made (CREATOR OWNER); a shared folder made here
//     gets exactly that (MakeFolderAt with the mode 01777).
//   - Private: nobody at large may write into it at all.
//   - Walk: no check: the folders on the way are the system's, guarded by their own access lists.
// Links in a host's path are followed as the system follows them (ResolvePath).
#include "platform/kernel/folders.h"

#include "platform/kernel/win32/win_calls.h"

#include <sddl.h>

#include <memory>
#include <vector>

namespace quill::kernel {

namespace {

using namespace win32;

constexpr ::DWORD kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
// Rights over what others made in a folder, or over a file itself, that nobody at large may hold.
constexpr ::DWORD kReplaceRights = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;
constexpr ::DWORD kFileWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER;
constexpr ::DWORD kAddRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;

// Every user may list the folder and add to it; each has full control of only what they made, and
// everyone may read the files in it. System and administrators keep full control. Protected, so
// that nothing broader is inherited from above.
constexpr wchar_t kSharedFolderAccess[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;FA;;;CO)"
                                          L"(A;;0x1200AF;;;AU)(A;OIIO;FR;;;AU)";

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

std::vector<std::string> Components(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool Fits(HANDLE folder, TFolderUse use) {
    if (use == TFolderUse::Walk) return true;
    const TBroadAccess broad = BroadAccessOf(folder);
    if (!broad.Known) return false;
    if ((broad.Own & kReplaceRights) || (broad.ToFiles & kFileWriteRights)) return false;
    return use != TFolderUse::Private || (broad.Own & kAddRights) == 0;
}

// Opens the folder `path` that must exist; a reparse point is refused (Link) unless `follow`.
TFileHandle OpenOne(const std::string& path, TFolderUse use, bool follow) {
    const ::DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    // Everything that may fail for want of memory comes before the open: once the system hands a
    // handle out, the handle object owns it at once.
    std::string kept(path);
    const std::wstring wide = WidePath(path);
    const HANDLE handle = Open(wide, kFolderAccess, OPEN_EXISTING, flags);
    if (handle == INVALID_HANDLE_VALUE) return {};
    TFileHandle folder(handle, std::move(kept));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return {};
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        ::SetLastError(ERROR_CANT_RESOLVE_FILENAME);
        return {};
    }
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetLastError(ERROR_DIRECTORY);
        return {};
    }
    if (!Fits(handle, use)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return {};
    }
    return folder;
}

// Makes the folder `path` when missing: a shared one (mode 01777) with the shared access list,
// any other with what it inherits.
bool MakeOne(const std::string& path, unsigned mode) {
    const std::wstring wide = WidePath(path);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if ((mode & 01777) == 01777) {
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                kSharedFolderAccess, SDDL_REVISION_1, &descriptor, nullptr))
            return false;
        attributes.lpSecurityDescriptor = descriptor;
    }
    const bool made = ::CreateDirectoryW(wide.c_str(), descriptor ? &attributes : nullptr);
    const ::DWORD error = ::GetLastError();
    if (descriptor) ::LocalFree(descriptor);
    if (made || error == ERROR_ALREADY_EXISTS) return true;
    // A folder that exists may still answer "access denied" to a caller who may not add to its
    // parent (a system folder on the way): it is there all the same.
    const ::DWORD kind = ::GetFileAttributesW(wide.c_str());
    ::SetLastError(error);
    return kind != INVALID_FILE_ATTRIBUTES && (kind & FILE_ATTRIBUTE_DIRECTORY);
}

bool ValidName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("/\\") != std::string_view::npos) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

TFileHandle Walk(std::string_view path, bool make, unsigned mode, TFolderUse use) {
    if (path.empty()) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return {};
    }
    // The start: a drive ("C:"), a share ("//server/share"), the root of the current drive, or
    // the working folder; taken as it is, a system place.
    const std::vector<std::string> parts = Components(path);
    std::size_t first = 0;
    std::string current;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && parts.size() >= 2) {
        current = "//" + parts[0] + "/" + parts[1];
        first = 2;
    } else if (!parts.empty() && parts[0].size() == 2 && parts[0][1] == ':') {
        current = parts[0];
        first = 1;
    } else if (IsSeparator(path[0])) {
        current = "";
    } else {
        current = ".";
    }
    if (first == parts.size()) return OpenOne(current.empty() ? "/" : current + "/", use, true);
    TFileHandle folder;
    for (std::size_t i = first; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        if (parts[i] == "." || parts[i] == "..") {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return {};
        }
        current += "/" + parts[i];
        if (make && !MakeOne(current, last ? mode : 0755)) return {};
        folder = OpenOne(current, last ? use : TFolderUse::Walk, false);
        if (!folder) return {};
    }
    return folder;
}

} // namespace

bool IsSharedFolder(const TFileHandle& folder) {
    return folder && Fits(folder.Get(), TFolderUse::Shared);
}

TFileError ListFolder(const TFileHandle& folder, std::vector<std::string>& names) {
    names.clear();
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(WidePath(Inside(folder, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return {};
        return LastFileError();
    }
    // Closed however the listing ends, a failed allocation included.
    const std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> closer(search, ::FindClose);
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(Utf8Path(name));
    } while (::FindNextFileW(search, &found));
    const ::DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) return TFileError::FromSystem(static_cast<int>(error));
    return {};
}

TFileHandle OpenFolder(std::string_view path, TFolderUse use) {
    return WithError(Walk(path, false, 0, use));
}

TFileHandle MakeFolders(std::string_view path, unsigned mode, TFolderUse use) {
    return WithError(Walk(path, true, mode, use));
}

TFileHandle OpenFolderAt(const TFileHandle& parent, std::string_view name, TFolderUse use) {
    if (!ValidName(name)) return WithError({});
    return WithError(OpenOne(Inside(parent, name), use, false));
}

TFileHandle MakeFolderAt(const TFileHandle& parent, std::string_view name, unsigned mode,
                         TFolderUse use) {
    if (!ValidName(name)) return WithError({});
    const std::string path = Inside(parent, name);
    if (!MakeOne(path, mode)) return WithError({});
    return WithError(OpenOne(path, use, false));
}

TFileError ResolvePath(std::string_view path, TResolvedPath& out) {
    std::size_t cut = path.size();
    while (cut > 0 && !IsSeparator(path[cut - 1]))
        --cut;
    const std::string_view name = path.substr(cut);
    if (name.empty() || name == "." || name == ".." ||
        (name.size() == 2 && name[1] == ':')) // a drive alone
        return TFileError::Of(TFileError::IsFolder);
    std::string folder(path.substr(0, cut));
    if (folder.empty()) folder = ".";
    TFileHandle opened = OpenOne(folder, TFolderUse::Walk, true);
    if (!opened) return LastFileError();
    out.Folder = std::move(opened);
    out.Name = std::string(name);
    return {};
}

} // namespace quill::kernel
