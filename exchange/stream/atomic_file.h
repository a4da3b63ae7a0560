// Whole-file replacement that never leaves a half-written file behind.
//
// The bytes go to a new temporary file in the target's folder, are flushed to the disk and only
// then renamed over the target, so a failed or interrupted save leaves the previous file whole.
// When the target is a symbolic link the file it points to is replaced, as a plain overwrite
// would. A new file gets the usual mode (0666 less the umask); a replaced file keeps its mode.
// Failures raise rtl::EOleSysError with the system's message; the temporary file is removed.
// Thread-safe (each call uses its own temporary file).
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quill::exchange {

struct TFilePiece {
    const void* Data;
    std::size_t Size;
};

// Replaces `path` (UTF-8) with the concatenation of `pieces`.
void ReplaceFileContents(const std::string& path, std::initializer_list<TFilePiece> pieces);

// Reads a whole file; false when it does not exist. Other failures raise like the writer.
bool ReadWholeFile(const std::string& path, std::string& contents);

// Whether `path` names an existing file (following links).
bool FileExists(const std::string& path);

} // namespace quill::exchange
