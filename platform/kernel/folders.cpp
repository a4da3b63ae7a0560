#include "platform/kernel/folders.h"

#include "platform/kernel/file_calls.h"
#include "platform/kernel/file_rules_impl.h"

#include <cerrno>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace quill::kernel {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kMaxLinks = 40;
constexpr int kMaxNarrowDepth = 16;

bool OwnedByRootOrCaller(const struct stat& info) {
    return info.st_uid == 0 || info.st_uid == geteuid();
}

std::deque<std::string> Components(std::string_view path) {
    std::deque<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string_view::npos ? path.size() : slash;
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return parts;
}

TFileHandle OpenStart(std::string_view path) {
    return TFileHandle(sys::OpenAt(AT_FDCWD, !path.empty() && path[0] == '/' ? "/" : ".",
                                   kFolderFlags & ~O_NOFOLLOW));
}

bool Fits(int fd, TFolderUse use) {
    struct stat info {};
    if (sys::Fstat(fd, &info) != 0) return false;
    if (!FolderFits(info, use)) {
        errno = EACCES;
        return false;
    }
    return true;
}

// Takes group and other write permission from what the just narrowed `folder` holds. Nobody else
// can add, remove or rename entries any more, so an entry seen here not to be a link stays so.
// A file with a second name is left as it is: its mode is also another name's, and the file
// rules never write through it. Folders inside are narrowed down to `depth` levels.
void NarrowEntries(int folder, int depth) {
    std::vector<std::string> names;
    if (!ListFolderNames(folder, names)) return;
    for (const std::string& name : names) {
        struct stat info {};
        if (sys::LstatAt(folder, name.c_str(), &info) != 0 || info.st_uid != geteuid()) continue;
        const bool file = S_ISREG(info.st_mode) && info.st_nlink == 1;
        if (!file && !S_ISDIR(info.st_mode)) continue;
        if ((info.st_mode & 022) != 0)
            sys::FchmodAt(folder, name.c_str(), static_cast<mode_t>(info.st_mode & 07755));
        if (S_ISDIR(info.st_mode) && depth > 0) {
            const TFileHandle inner(sys::OpenAt(folder, name.c_str(), kFolderFlags));
            if (inner) NarrowEntries(inner.Get(), depth - 1);
        }
    }
}

// Opens `name` in `parent` as a folder, making it with `mode` when `make` and it is missing.
TFileHandle Step(int parent, const std::string& name, bool make, unsigned mode, TFolderUse use) {
    if (name == "." || name == "..") {
        // Going up or standing still would leave the checked chain of folders.
        errno = EACCES;
        return {};
    }
    bool made = false;
    if (make) {
        if (sys::MkdirAt(parent, name.c_str(), static_cast<mode_t>(mode & 0777)) == 0)
            made = true;
        else if (errno != EEXIST)
            return {};
    }
    TFileHandle folder(sys::OpenAt(parent, name.c_str(), kFolderFlags));
    if (!folder) {
        // O_NOFOLLOW reports a link as ELOOP, O_DIRECTORY as ENOTDIR: both mean "not ours".
        if (errno == ENOTDIR) {
            struct stat info {};
            if (sys::LstatAt(parent, name.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
                errno = ELOOP;
        }
        return {};
    }
    struct stat info {};
    if (sys::Fstat(folder.Get(), &info) != 0) return {};
    const bool mine = info.st_uid == geteuid();
    // A folder made here gets its mode past the umask; a private folder of the caller's that
    // others could write into (an older release made them so) is narrowed: to the mode asked
    // for, or, when only opened (no mode asked), to its own mode without the others' rights.
    const bool narrowing = !made && use == TFolderUse::Private && (info.st_mode & 022) != 0;
    const mode_t wanted = static_cast<mode_t>(
        narrowing && (mode & 07777) == 0 ? (info.st_mode & 0755) : (mode & 07777));
    if (mine && (made || narrowing) && (info.st_mode & 07777) != wanted) {
        if (sys::Fchmod(folder.Get(), wanted) != 0) return {};
        info.st_mode = (info.st_mode & ~07777) | wanted;
        // What others could write into while the folder was open to them stays theirs to write
        // unless it is narrowed too.
        if (narrowing && (wanted & 022) == 0) NarrowEntries(folder.Get(), kMaxNarrowDepth);
    }
    if (!FolderFits(info, use)) {
        errno = EACCES;
        return {};
    }
    return folder;
}

TFileHandle Walk(std::string_view path, bool make, unsigned mode, TFolderUse use) {
    if (path.empty()) {
        errno = ENOENT;
        return {};
    }
    std::deque<std::string> parts = Components(path);
    TFileHandle folder = OpenStart(path);
    if (!folder || !Fits(folder.Get(), parts.empty() ? use : TFolderUse::Walk)) return {};
    while (!parts.empty()) {
        const bool last = parts.size() == 1;
        folder = Step(folder.Get(), parts.front(), make, last ? mode : 0755,
                      last ? use : TFolderUse::Walk);
        if (!folder) return {};
        parts.pop_front();
    }
    return folder;
}

// Whether the kernel's protection of world-writable sticky folders lets the caller follow the
// link `link` found in `folder`.
bool MayFollow(int folder, const struct stat& link) {
    struct stat info {};
    if (sys::Fstat(folder, &info) != 0) return false;
    const bool guarded = (info.st_mode & S_ISVTX) && (info.st_mode & S_IWOTH);
    return !guarded || link.st_uid == geteuid() || link.st_uid == info.st_uid;
}

// Resolves as ResolvePath does; false with errno.
bool Resolve(std::string_view path, TResolvedPath& out) {
    if (path.empty() || path.back() == '/') {
        errno = EISDIR;
        return false;
    }
    std::deque<std::string> parts = Components(path);
    TFileHandle folder = OpenStart(path);
    if (!folder) return false;
    int links = 0;
    while (!parts.empty()) {
        const std::string name = parts.front();
        parts.pop_front();
        if (name == ".") continue;
        struct stat info {};
        const bool exists = sys::LstatAt(folder.Get(), name.c_str(), &info) == 0;
        if (!exists && (errno != ENOENT || !parts.empty())) return false;
        if (exists && S_ISLNK(info.st_mode)) {
            if (!MayFollow(folder.Get(), info)) {
                errno = EACCES;
                return false;
            }
            if (++links > kMaxLinks) {
                errno = ELOOP;
                return false;
            }
            std::string target(4096, '\0');
            const ssize_t n =
                sys::ReadLinkAt(folder.Get(), name.c_str(), target.data(), target.size());
            if (n < 0) return false;
            if (static_cast<std::size_t>(n) >= target.size()) {
                errno = ENAMETOOLONG;
                return false;
            }
            target.resize(static_cast<std::size_t>(n));
            if (target.empty() || target.back() == '/') {
                errno = EISDIR;
                return false;
            }
            std::deque<std::string> more = Components(target);
            parts.insert(parts.begin(), more.begin(), more.end());
            if (target[0] == '/') {
                folder = OpenStart(target);
                if (!folder) return false;
            }
            continue;
        }
        if (parts.empty()) {
            if (name == "..") {
                errno = EISDIR;
                return false;
            }
            out.Folder = std::move(folder);
            out.Name = name;
            return true;
        }
        TFileHandle next(sys::OpenAt(folder.Get(), name.c_str(), kFolderFlags));
        if (!next) return false;
        folder = std::move(next);
    }
    errno = EISDIR;
    return false;
}

} // namespace

bool FolderFits(const struct stat& info, TFolderUse use) {
    if (!S_ISDIR(info.st_mode)) return false;
    const bool sticky = (info.st_mode & S_ISVTX) != 0;
    switch (use) {
    case TFolderUse::Walk: {
        // A folder writable by the caller's own group (a user's private group) is as safe.
        const bool othersWrite =
            (info.st_mode & S_IWOTH) || ((info.st_mode & S_IWGRP) && info.st_gid != getegid());
        return OwnedByRootOrCaller(info) && (!othersWrite || sticky);
    }
    case TFolderUse::Shared:
        return OwnedByRootOrCaller(info) && sticky;
    case TFolderUse::Private:
        return info.st_uid == geteuid() && (info.st_mode & 022) == 0;
    }
    return false;
}

bool ListFolderNames(int fd, std::vector<std::string>& names) {
    names.clear();
    const int listing = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (listing < 0) return false;
    // The listing is closed however the loop ends: a name that cannot be stored throws.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(fdopendir(listing), closedir);
    if (!dir) {
        const int error = errno;
        close(listing);
        errno = error;
        return false;
    }
    // A duplicate shares its position with `fd`: start from the beginning whatever was read.
    rewinddir(dir.get());
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    return true;
}

TFileError ListFolder(const TFileHandle& folder, std::vector<std::string>& names) {
    if (ListFolderNames(folder.Get(), names)) return {};
    return LastFileError();
}

bool IsSharedFolder(const TFileHandle& folder) {
    struct stat info {};
    return sys::Fstat(folder.Get(), &info) == 0 && FolderFits(info, TFolderUse::Shared);
}

TFileHandle OpenFolder(std::string_view path, TFolderUse use) {
    return WithError(Walk(path, false, 0, use));
}

TFileHandle MakeFolders(std::string_view path, unsigned mode, TFolderUse use) {
    return WithError(Walk(path, true, mode, use));
}

TFileHandle OpenFolderAt(const TFileHandle& parent, std::string_view name, TFolderUse use) {
    return WithError(Step(parent.Get(), std::string(name), false, 0, use));
}

TFileHandle MakeFolderAt(const TFileHandle& parent, std::string_view name, unsigned mode,
                         TFolderUse use) {
    return WithError(Step(parent.Get(), std::string(name), true, mode, use));
}

TFileError ResolvePath(std::string_view path, TResolvedPath& out) {
    if (Resolve(path, out)) return {};
    return LastFileError();
}

} // namespace quill::kernel
