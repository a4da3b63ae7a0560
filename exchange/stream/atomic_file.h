// Whole-file replacement that never leaves a half-written file behind, and whole-file reads.
//
// A save replaces the file atomically through the platform (kernel::ReplaceFileContents): a failed
// or interrupted save leaves the previous file whole and no temporary file behind; a link that
// another user planted in a world-writable sticky folder is refused rather than followed; a
// replaced file keeps its owner and mode where the caller may set them, a new one gets 0666 less
// the umask. Reads open only regular files (a FIFO or device under the name never blocks them).
// Failures raise rtl::EOleSysError with the system's message and the HRESULT of the file error
// (kernel::HResultFromFileError: E_ACCESSDENIED for access denied, the disk-full code for a full
// disk, and so on). Thread-safe.
#pragma once

#include "platform/kernel/file_replace.h"

#include <cstddef>
#include <initializer_list>
#include <string>

namespace quill::exchange {

using kernel::TFilePiece;

// Replaces `path` (UTF-8) with the concatenation of `pieces`.
void ReplaceFileContents(const std::string& path, std::initializer_list<TFilePiece> pieces);

// Reads a whole file; false when it does not exist. Other failures raise like the writer; a file
// of more than `limit` bytes is one of them (TooLarge), found by its size before it is read.
bool ReadWholeFile(const std::string& path, std::string& contents,
                   std::size_t limit = static_cast<std::size_t>(-1));

// Whether `path` names an existing regular file (links followed as a save would follow them).
bool FileExists(const std::string& path);

} // namespace quill::exchange
