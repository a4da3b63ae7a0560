// Whole-file replacement that never leaves a half-written or stray file behind.
//
// The bytes go to an unnamed file (O_TMPFILE) in the target's folder, are flushed to the disk and
// only then given a name and renamed over the target, so a failed or interrupted save leaves the
// previous file whole and, short of a kill between those last two steps, no temporary file behind.
// Where the file system has no unnamed files, a hidden temporary name is used instead and removed
// on failure. Temporary names (".<name>.<pid>.<random>.tmp") cannot be guessed, so nobody can
// occupy them in advance; copies that dead saves left behind are removed by the next save.
//
// The target is a host's path, resolved as ResolvePath does (folders.h): a link is followed only
// where the kernel's protection of world-writable sticky folders would follow it, so a link that
// another user planted in such a folder is refused (AccessDenied) instead of replacing the file it
// points to. In such a folder a file is replaced only when it belongs to the caller or to the
// folder's owner and has no second name (AccessDenied otherwise): a plant of another user, or a
// hard link to a file that others may write, never lends the saved file its owner or mode. The new
// file keeps the old one's owner, group and mode where the caller may set them (root keeps
// another user's file that user's); a new file gets 0666 less the umask.
//
// Returns success, or the error of the step that failed. Thread-safe (each call has its own
// file).
#pragma once

#include "platform/kernel/file_error.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace quill::kernel {

struct TFilePiece {
    const void* Data;
    std::size_t Size;
};

TFileError ReplaceFileContents(std::string_view path, std::span<const TFilePiece> pieces);

// The process's file mode creation mask, read without changing it.
unsigned CurrentUmask();

} // namespace quill::kernel
