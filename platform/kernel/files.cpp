#include "platform/kernel/files.h"

#include "platform/kernel/file_calls.h"
#include "platform/kernel/file_rules_impl.h"
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

int AccessFlags(TFileAccess access) {
    switch (access) {
    case TFileAccess::Read:
        return O_RDONLY;
    case TFileAccess::Write:
        return O_WRONLY;
    case TFileAccess::ReadWrite:
        return O_RDWR;
    case TFileAccess::Append:
        return O_WRONLY | O_APPEND;
    }
    return O_RDONLY;
}

TFileHandle Open(int folder, std::string_view name, int access, TCreation creation, unsigned mode,
                 bool callerOnly) {
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

// Writes all `size` bytes; returns how many went out (all, or fewer with errno set).
std::size_t WriteSome(int fd, const void* data, std::size_t size) {
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

// Reads as ReadAll does; false with errno.
bool ReadToEnd(int fd, std::string& contents, std::size_t limit) {
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

} // namespace

TFileHandle OpenFileAt(const TFileHandle& folder, std::string_view name, TFileAccess access,
                       TCreation creation, unsigned mode, bool callerOnly) {
    return WithError(Open(folder.Get(), name, AccessFlags(access), creation, mode, callerOnly));
}

TFileError WriteAll(const TFileHandle& file, const void* data, std::size_t size) {
    if (WriteSome(file.Get(), data, size) == size) return {};
    return LastFileError();
}

std::size_t AppendWhole(const TFileHandle& file, std::string_view data,
                        const std::function<std::size_t(std::size_t)>& wholeUpTo, TFileError* why) {
    const int fd = file.Get();
    struct stat before {};
    const bool sized = sys::Fstat(fd, &before) == 0;
    const std::size_t done = WriteSome(fd, data.data(), data.size());
    if (done == data.size()) return done;
    const TFileError error = LastFileError();
    if (why) *why = error;
    const std::size_t whole = std::min(wholeUpTo(done), done);
    struct stat after {};
    if (whole < done && sized && sys::Fstat(fd, &after) == 0 &&
        after.st_size == before.st_size + static_cast<off_t>(done) &&
        sys::Ftruncate(fd, before.st_size + static_cast<off_t>(whole)) == 0) {
        return whole;
    }
    return done;
}

TFileError ReadAll(const TFileHandle& file, std::string& contents, std::size_t limit) {
    if (ReadToEnd(file.Get(), contents, limit)) return {};
    return LastFileError();
}

TFileError ReadFileAt(std::string_view path, std::string& contents, std::size_t limit) {
    TResolvedPath where;
    if (const TFileError error = ResolvePath(path, where); error.Failed()) return error;
    const TFileHandle file =
        OpenFileAt(where.Folder, where.Name, TFileAccess::Read, TCreation::Existing, 0, false);
    if (!file) return file.Error();
    return ReadAll(file, contents, limit);
}

bool RegularFileExists(std::string_view path) {
    TResolvedPath where;
    if (ResolvePath(path, where).Failed()) return false;
    struct stat info {};
    return sys::LstatAt(where.Folder.Get(), where.Name.c_str(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

} // namespace quill::kernel
