// Folders under one set of rules: opened component by component, each step relative to a folder
// handle already checked, so that nobody can swap a folder on the way or plant a link there.
//
// The library's own folders (the log's, the lock area) never follow a link: a link fails with
// Link (the path is split here, so a trailing "/" cannot make the kernel follow one). Every folder
// on the way must belong to root or the caller and, when others than the caller's own group may
// write into it, carry the sticky bit (else another user could rename entries under us):
// AccessDenied otherwise. The last folder must also meet its use:
//   - Shared: a folder every user writes into (the common log folder, the lock area): owned by
//     root or the caller, with the sticky bit, so that no user can remove or replace another's
//     files;
//   - Private: a folder only the caller writes into (a process's log folder, anything inside the
//     user's home): owned by the caller and writable by nobody else.
// A folder made here gets its mode exactly (past the umask); a private folder of the caller's
// whose mode lets others write is narrowed to the mode asked for, and so is what it holds: the
// caller's files (those with a single name) and folders inside lose their group and other write
// permission, folders all the way down. Links and other users' entries are left alone; the file
// rules (files.h) refuse to write through what others may still write.
//
// Paths that a host chooses (where it saves or reads a file) are resolved by ResolvePath, which
// follows links as the kernel does when it protects world-writable sticky folders: a link in such
// a folder is followed only when it belongs to the caller or to the folder's owner.
//
// Failures return an empty handle that tells why (TFileHandle::Error), or the error itself: Link
// for a link, AccessDenied for a folder that does not meet its use; nothing raises. Thread-safe.
#pragma once

#include "platform/kernel/file_handle.h"

#include <string>
#include <string_view>
#include <vector>

namespace quill::kernel {

enum class TFolderUse {
    Walk,    // a folder on the way
    Shared,  // everyone writes, sticky bit
    Private, // only the caller writes
};

// Whether the open `folder` is a shared folder (Shared above) for the calling user.
bool IsSharedFolder(const TFileHandle& folder);

// The names in the open `folder` ("." and ".." left out), or why it cannot be read.
TFileError ListFolder(const TFileHandle& folder, std::vector<std::string>& names);

// Opens the folder `path` (absolute, or relative to the working folder) without following links.
TFileHandle OpenFolder(std::string_view path, TFolderUse use);
// The same, making missing folders: parents with mode 0755, the last one with `mode`.
TFileHandle MakeFolders(std::string_view path, unsigned mode, TFolderUse use);
// One step inside an open folder: the folder `name` (a single component).
TFileHandle OpenFolderAt(const TFileHandle& parent, std::string_view name, TFolderUse use);
TFileHandle MakeFolderAt(const TFileHandle& parent, std::string_view name, unsigned mode,
                         TFolderUse use);

// The folder and the last name that a host's `path` stands for, following links as described
// above (also a link in the last name, whose target need not exist). IsFolder when the path
// names no file ("", ".", "..", a trailing "/"), AccessDenied for a link that may not be
// followed, Link after 40 links.
struct TResolvedPath {
    TFileHandle Folder;
    std::string Name;
};
TFileError ResolvePath(std::string_view path, TResolvedPath& out);

} // namespace quill::kernel
