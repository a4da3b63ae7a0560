#include "platform/kernel/named_file_read.h"

#include "platform/kernel/file_calls.h"
#include "platform/kernel/files.h"
#include "platform/kernel/folders.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace quill::kernel {

namespace {

std::string KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISDIR(mode)) return "a folder";
    return "no regular file";
}

std::string Describe(int error, std::size_t limit) {
    switch (error) {
    case ENOENT:
        return "no such file";
    case EFBIG:
        return "is larger than the limit of " + std::to_string(limit) + " bytes";
    case EISDIR:
        return "names a folder, not a file";
    case ELOOP:
        return "too many links to follow";
    case EACCES:
        return "permission denied (or a link in a shared folder that belongs to another user)";
    default:
        return std::strerror(error);
    }
}

} // namespace

bool ReadNamedFile(std::string_view path, std::size_t limit, std::string& contents,
                   std::string& why) {
    why.clear();
    // The plug-in's own reader: it opens without waiting (a FIFO never blocks it) and refuses
    // anything but a regular file, and a file over the limit by its size.
    const TFileError error = ReadFileAt(path, contents, limit);
    if (error.Ok()) return true;
    contents.clear();
    // What the name holds says more than the refusal's code: "is a FIFO" rather than "denied".
    TResolvedPath where;
    struct stat info {};
    if (ResolvePath(path, where).Ok() &&
        sys::LstatAt(where.Folder.Get(), where.Name.c_str(), &info) == 0 &&
        !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        why = "is " + KindOf(info.st_mode) + ", not a regular file";
    } else {
        why = Describe(error.SystemCode(), limit);
    }
    return false;
}

} // namespace quill::kernel
