// The Windows side of named_file_read.h: the plug-in's own reader (files.h) reads the file; what
// the name holds (a folder, a device) words a refusal.
#include "platform/kernel/named_file_read.h"

#include "platform/kernel/files.h"
#include "platform/kernel/folders.h"
#include "platform/kernel/win32/win_calls.h"

namespace quill::kernel {

namespace {

std::string Describe(TFileError error, std::size_t limit) {
    switch (error.Kind()) {
    case TFileError::NotFound:
        return "no such file";
    case TFileError::TooLarge:
        return "is larger than the limit of " + std::to_string(limit) + " bytes";
    case TFileError::IsFolder:
        return "names a folder, not a file";
    case TFileError::Link:
        return "a link that cannot be followed";
    case TFileError::AccessDenied:
        return "permission denied (or no regular file)";
    default:
        return error.Text();
    }
}

} // namespace

bool ReadNamedFile(std::string_view path, std::size_t limit, std::string& contents,
                   std::string& why) {
    why.clear();
    const TFileError error = ReadFileAt(path, contents, limit);
    if (error.Ok()) return true;
    contents.clear();
    TResolvedPath where;
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (ResolvePath(path, where).Ok() &&
        ::GetFileAttributesExW(win32::WidePath(win32::Inside(where.Folder, where.Name)).c_str(),
                               GetFileExInfoStandard, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        why = "is a folder, not a regular file";
    } else {
        why = Describe(error, limit);
    }
    return false;
}

} // namespace quill::kernel
