// Files under one set of rules: a file is opened inside a folder handle (folders.h), never through
// a link, never when it is anything but a regular file, and without waiting on a FIFO or a device
// planted under its name (it is not even opened when it is seen to be one).
//
// An existing file is opened without creating it and a missing one is created exclusively, so a
// file of another user in a shared sticky folder is never taken over by creation. A file made here
// gets its mode exactly (past the umask). With `callerOnly`, only a file that the caller alone may
// write is used: a file of another user is refused, and so is one of the caller's that others may
// write, directly (group or other write permission) or through a second name (more than one link:
// the other name may be open to all). Such a file is made with a mode that lets only its owner
// write. Failures return an empty handle that tells why (TFileHandle::Error), or the error itself:
// Link for a link, AccessDenied for another user's file, a file others may write, or anything that
// is not a regular file. Thread-safe.
#pragma once

#include "platform/kernel/file_handle.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quill::kernel {

enum class TCreation {
    Existing, // only an existing file
    OrCreate, // existing, or made when missing
    New,      // made here; Exists when the name is taken
    // As OrCreate, with `callerOnly`: a file of the caller's that others may write is removed and
    // made anew, empty. Only in a private folder (folders.h), where nobody else can put another
    // file under the name meanwhile; elsewhere such a file is refused.
    Renew,
};

enum class TFileAccess {
    Read,
    Write,
    ReadWrite,
    Append, // writing, every write at the end of the file as it then is
};

TFileHandle OpenFileAt(const TFileHandle& folder, std::string_view name, TFileAccess access,
                       TCreation creation, unsigned mode, bool callerOnly);

// Writes all `size` bytes, or tells why not all went out.
TFileError WriteAll(const TFileHandle& file, const void* data, std::size_t size);
// Appends `data` to `file` (opened for Append) so that only whole records stay in the file: when
// the write stops short (a full disk), the file is cut back to its size before the write plus
// `wholeUpTo(written)` bytes, the end of the last record that went out whole - unless another
// writer appended meanwhile, whose bytes are never cut. Returns the bytes that stay; `why` (when
// given) tells why the rest did not go out.
std::size_t AppendWhole(const TFileHandle& file, std::string_view data,
                        const std::function<std::size_t(std::size_t)>& wholeUpTo,
                        TFileError* why = nullptr);

// Reads from the current position to the end into `contents`, or tells why it could not. A file
// of more than `limit` bytes is refused as TooLarge: by its size before anything is read, and by
// what was read should it grow meanwhile.
TFileError ReadAll(const TFileHandle& file, std::string& contents,
                   std::size_t limit = static_cast<std::size_t>(-1));

// Reads the regular file at a host's `path` (links followed as ResolvePath does). NotFound when
// it does not exist, TooLarge when it holds more than `limit` bytes.
TFileError ReadFileAt(std::string_view path, std::string& contents,
                      std::size_t limit = static_cast<std::size_t>(-1));
// Whether a host's `path` names an existing regular file.
bool RegularFileExists(std::string_view path);

} // namespace quill::kernel
