// The Windows side of file_replace.h. The bytes go to a hidden temporary file beside the target,
// are flushed to the disk (FlushFileBuffers) and only then moved over the target in one step
// (MoveFileEx, replacing and writing through), so a failed or interrupted save leaves the previous
// file whole. A failed save removes its temporary file; copies that dead saves left behind (their
// process is gone) are removed by the next save. Temporary names (".<name>.<pid>.<random>.tmp")
// cannot be guessed. A link (reparse point) at the target is refused rather than replaced through.
// The new file gets the access list its folder hands down; the system has no umask.
#define _CRT_RAND_S // rand_s: the system's random numbers
#include "platform/kernel/file_replace.h"

#include "platform/kernel/files.h"
#include "platform/kernel/folders.h"
#include "platform/kernel/save_copy_name.h"
#include "platform/kernel/win32/win_calls.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace quill::kernel {

namespace {

using namespace win32;

constexpr int kNameAttempts = 16;

std::uint64_t UnguessableNumber() {
    unsigned int high = 0, low = 0;
    rand_s(&high);
    rand_s(&low);
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::string TempName(const std::string& base) {
    return SaveCopyName(base, ::GetCurrentProcessId(), UnguessableNumber());
}

bool ProcessIsGone(::DWORD pid) {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    const bool gone = ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return gone;
}

void RemoveCopiesOfDeadSaves(const TFileHandle& folder, const std::string& base) {
    std::vector<std::string> names;
    if (ListFolder(folder, names).Failed()) return;
    for (const std::string& name : names) {
        const ::DWORD pid = SaveCopyOwner(name, base);
        if (pid > 0 && pid != ::GetCurrentProcessId() && ProcessIsGone(pid))
            ::DeleteFileW(WidePath(Inside(folder, name)).c_str());
    }
}

::DWORD Replace(std::string_view path, std::span<const TFilePiece> pieces) {
    TResolvedPath where;
    if (const TFileError failed = ResolvePath(path, where); failed.Failed())
        return static_cast<::DWORD>(failed.SystemCode());
    const std::wstring target = WidePath(Inside(where.Folder, where.Name));
    WIN32_FILE_ATTRIBUTE_DATA old{};
    if (::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &old) &&
        (old.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return ERROR_ACCESS_DENIED;

    RemoveCopiesOfDeadSaves(where.Folder, where.Name);
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        temp = WidePath(Inside(where.Folder, TempName(where.Name)));
        file = Open(temp, GENERIC_WRITE, CREATE_NEW,
                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return ::GetLastError();
    }
    if (file == INVALID_HANDLE_VALUE) return ::GetLastError();
    TFileHandle written(file);
    ::DWORD error = 0;
    for (const TFilePiece& piece : pieces) {
        if (const TFileError failed = WriteAll(written, piece.Data, piece.Size); failed.Failed()) {
            error = static_cast<::DWORD>(failed.SystemCode());
            break;
        }
    }
    if (!error && !Flush(file)) error = ::GetLastError();
    written.Reset();
    if (!error) {
        // The saved file is an ordinary one, not hidden as its temporary copy was.
        ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!Move(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            error = ::GetLastError();
    }
    if (error) {
        ::DeleteFileW(temp.c_str());
        return error;
    }
    return 0;
}

} // namespace

TFileError ReplaceFileContents(std::string_view path, std::span<const TFilePiece> pieces) {
    return TFileError::FromSystem(static_cast<int>(Replace(path, pieces)));
}

unsigned CurrentUmask() {
    return 0;
}

} // namespace quill::kernel
