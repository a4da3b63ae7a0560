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
    contents.clear();
    why.clear();
    TResolvedPath where;
    if (const TFileError error = ResolvePath(path, where); error.Failed()) {
        why = Describe(error.SystemCode(), limit);
        return false;
    }
    // What the name holds is told before anything is opened: opening a FIFO for reading waits
    // for a writer, and a device may never end.
    struct stat info {};
    if (sys::LstatAt(where.Folder.Get(), where.Name.c_str(), &info) == 0 &&
        !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
        why = "is " + KindOf(info.st_mode) + ", not a regular file";
        return false;
    }
    const TFileHandle file =
        OpenFileAt(where.Folder, where.Name, TFileAccess::Read, TCreation::Existing, 0, false);
    const TFileError error = file ? ReadAll(file, contents, limit) : file.Error();
    if (error.Ok()) return true;
    contents.clear();
    why = Describe(error.SystemCode(), limit);
    return false;
}

} // namespace quill::kernel
