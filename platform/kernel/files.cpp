#include "platform/kernel/files.h"

#include "platform/kernel/file_calls.h"
#include "platform/kernel/folders.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

namespace quill::kernel {

namespace {

constexpr int kFileFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Whether users other than the owner may write the file: by its mode, or through another name.
bool OthersMayWrite(const struct stat& info) {
    return (info.st_mode & 022) != 0 || info.st_nlink > 1;
}

// Refuses what is not a regular file of an acceptable owner.
bool Acceptable(const struct stat& info, bool callerOnly) {
    if (S_ISLNK(info.st_mode)) {
        errno = ELOOP;
        return false;
    }
    if (!S_ISREG(info.st_mode) ||
        (callerOnly && (info.st_uid != geteuid() || OthersMayWrite(info)))) {
        errno = EACCES;
        return false;
    }
    return true;
}

// Whether the file `info` at `name` may be removed to be made anew (TCreation::Renew): the
// caller's own, refused only because others may write it, in a folder nobody else writes into.
bool Renewable(int folder, const struct stat& info) {
    struct stat place {};
    return S_ISREG(info.st_mode) && info.st_uid == geteuid() && OthersMayWrite(info) &&
           sys::Fstat(folder, &place) == 0 && FolderFits(place, TFolderUse::Private);
}

// Checks the opened file and lets later reads and writes block again.
TFileHandle Finish(TFileHandle file, bool callerOnly) {
    struct stat info {};
    if (sys::Fstat(file.Get(), &info) != 0 || !Acceptable(info, callerOnly)) return {};
    const int flags = sys::GetStatusFlags(file.Get());
    if (flags < 0 || sys::SetStatusFlags(file.Get(), flags & ~O_NONBLOCK) != 0) return {};
    return file;
}

} // namespace

TFileHandle OpenFileAt(int folder, std::string_view name, int access, TCreation creation,
                       unsigned mode, bool callerOnly) {
    const std::string file(name);
    if (file.empty() || file.find('/') != std::string::npos || file == "." || file == "..") {
        errno = EINVAL;
        return {};
    }
    // A few rounds cover a file that another writer creates or removes between the steps.
    for (int attempt = 0; attempt < 4; ++attempt) {
        struct stat info {};
        // A new file goes straight to the exclusive creation: whatever holds the name is not ours.
        if (creation != TCreation::New) {
            if (sys::LstatAt(folder, file.c_str(), &info) == 0) {
                // A file that others could write into never takes the caller's data: a fresh one
                // does.
                if (creation == TCreation::Renew && callerOnly && Renewable(folder, info)) {
                    if (sys::UnlinkAt(folder, file.c_str(), 0) != 0 && errno != ENOENT) return {};
                    continue;
                }
                // Seen before opening: a FIFO or a device is never opened at all.
                if (!Acceptable(info, callerOnly)) return {};
                TFileHandle opened(sys::OpenAt(folder, file.c_str(), access | kFileFlags));
                if (opened) return Finish(std::move(opened), callerOnly);
                if (errno != ENOENT) return {};
                continue;
            }
            if (errno != ENOENT || creation == TCreation::Existing) return {};
        }
        TFileHandle made(sys::OpenAt(folder, file.c_str(), access | kFileFlags | O_CREAT | O_EXCL,
                                     static_cast<mode_t>(mode & 0777)));
        if (made) {
            if (sys::Fchmod(made.Get(), static_cast<mode_t>(mode & 07777)) != 0) return {};
            return Finish(std::move(made), callerOnly);
        }
        if (errno != EEXIST || creation == TCreation::New) return {};
    }
    errno = EAGAIN;
    return {};
}

std::size_t WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = sys::Write(fd, p + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        if (n == 0) {
            errno = EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t AppendWhole(int fd, std::string_view data,
                        const std::function<std::size_t(std::size_t)>& wholeUpTo) {
    struct stat before {};
    const bool sized = sys::Fstat(fd, &before) == 0;
    const std::size_t done = WriteAll(fd, data.data(), data.size());
    if (done == data.size()) return done;
    const int error = errno;
    const std::size_t whole = std::min(wholeUpTo(done), done);
    struct stat after {};
    if (whole < done && sized && sys::Fstat(fd, &after) == 0 &&
        after.st_size == before.st_size + static_cast<off_t>(done) &&
        sys::Ftruncate(fd, before.st_size + static_cast<off_t>(whole)) == 0) {
        errno = error;
        return whole;
    }
    errno = error;
    return done;
}

bool ReadAll(int fd, std::string& contents, std::size_t limit) {
    contents.clear();
    // The file's size as a hint: read straight into a block of that size instead of growing the
    // text chunk by chunk. A file that changes meanwhile is still read to its real end. A file
    // beyond the limit is refused before a byte of it is held.
    struct stat info {};
    if (sys::Fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        if (static_cast<std::uint64_t>(info.st_size) > limit) {
            errno = EFBIG;
            return false;
        }
        contents.reserve(static_cast<std::size_t>(info.st_size) + 1);
    }
    char buffer[65536];
    for (;;) {
        std::size_t room = contents.capacity() - contents.size();
        if (room > 0) {
            const std::size_t old = contents.size();
            contents.resize(contents.capacity());
            const ssize_t n = sys::Read(fd, contents.data() + old, room);
            contents.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) return true;
            continue;
        }
        const ssize_t n = sys::Read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (static_cast<std::size_t>(n) > limit - contents.size()) {
            errno = EFBIG;
            return false;
        }
        contents.append(buffer, static_cast<std::size_t>(n));
    }
}

bool ReadFileAt(std::string_view path, std::string& contents, std::size_t limit) {
    TResolvedPath where;
    if (!ResolvePath(path, where)) return false;
    TFileHandle file =
        OpenFileAt(where.Folder.Get(), where.Name, O_RDONLY, TCreation::Existing, 0, false);
    return file && ReadAll(file.Get(), contents, limit);
}

bool RegularFileExists(std::string_view path) {
    TResolvedPath where;
    if (!ResolvePath(path, where)) return false;
    struct stat info {};
    return sys::LstatAt(where.Folder.Get(), where.Name.c_str(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

} // namespace quill::kernel
