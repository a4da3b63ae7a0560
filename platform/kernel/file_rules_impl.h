// The file rules' own helpers, shared by folders.cpp, files.cpp and file_replace.cpp: the folder
// check on a stat result, the descriptor-level listing, and the step from the C library's errno
// to the error value that the rules hand back. Not for code outside platform/kernel.
#pragma once

#include "platform/kernel/file_handle.h"
#include "platform/kernel/folders.h"

#include <string>
#include <sys/stat.h>
#include <vector>

namespace quill::kernel {

// Whether a folder with `info` may serve as `use` for the calling user.
bool FolderFits(const struct stat& info, TFolderUse use);

// The names in the open folder `fd` ("." and ".." left out); false with errno when it cannot be
// read.
bool ListFolderNames(int fd, std::vector<std::string>& names);

// The error that the last failed step left in errno (never success: a step that failed without
// saying why is an I/O error).
TFileError LastFileError();

// `handle`, or when it is empty, an empty handle that carries LastFileError().
inline TFileHandle WithError(TFileHandle handle) {
    if (!handle) return TFileHandle::Failure(LastFileError());
    return handle;
}

} // namespace quill::kernel
