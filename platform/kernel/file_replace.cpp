#include "platform/kernel/file_replace.h"

#include "platform/kernel/file_calls.h"
#include "platform/kernel/files.h"
#include "platform/kernel/folders.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <signal.h>
#include <vector>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace quill::kernel {

namespace {

std::atomic<unsigned> gTempCounter{0};

std::string TempName(const std::string& base) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%d.%u.tmp", static_cast<int>(getpid()),
                  gTempCounter.fetch_add(1));
    return "." + base + suffix;
}

// A file to write the new contents into: unnamed when the file system allows, else under a
// fresh hidden name (returned in `named`).
TFileHandle NewFile(int folder, const std::string& base, mode_t mode, std::string& named) {
    TFileHandle file(sys::OpenAt(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (file || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return file;
    for (int attempt = 0; attempt < 100; ++attempt) {
        named = TempName(base);
        file.Reset(sys::OpenAt(folder, named.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (file || errno != EEXIST) break;
    }
    if (!file) named.clear();
    return file;
}

// A save killed between naming its finished file and the rename leaves that copy under its
// hidden name. The next save of the same file removes such copies of processes that are gone,
// so an interrupted save costs at most one stale copy until the file is saved again.
void RemoveCopiesOfDeadSaves(int folder, const std::string& base) {
    const int listing = fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (listing < 0) return;
    DIR* dir = fdopendir(listing);
    if (!dir) {
        close(listing);
        return;
    }
    const std::string prefix = "." + base + ".";
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view entryName = entry->d_name;
        if (!entryName.starts_with(prefix) || !entryName.ends_with(".tmp")) continue;
        int pid = 0;
        unsigned counter = 0;
        char end = 0;
        const std::string rest(entryName.substr(prefix.size()));
        if (std::sscanf(rest.c_str(), "%d.%u.tm%c", &pid, &counter, &end) != 3 || pid <= 0) continue;
        if (kill(pid, 0) != 0 && errno == ESRCH) stale.emplace_back(entryName);
    }
    closedir(dir);
    for (const std::string& name : stale) sys::UnlinkAt(folder, name.c_str(), 0);
}

} // namespace

unsigned CurrentUmask() {
    // The kernel reports the mask in the process status; umask() itself would change it.
    TFileHandle status(sys::OpenAt(AT_FDCWD, "/proc/self/status", O_RDONLY | O_CLOEXEC));
    std::string text;
    if (status && ReadAll(status.Get(), text)) {
        const std::size_t at = text.find("Umask:");
        unsigned mask = 0;
        if (at != std::string::npos && std::sscanf(text.c_str() + at, "Umask: %o", &mask) == 1)
            return mask;
    }
    return 022;
}

int ReplaceFileContents(std::string_view path, std::span<const TFilePiece> pieces) {
    TResolvedPath where;
    if (!ResolvePath(path, where)) return errno;
    const int folder = where.Folder.Get();
    const char* name = where.Name.c_str();

    struct stat old {};
    const bool replacing = sys::LstatAt(folder, name, &old) == 0 && S_ISREG(old.st_mode);
    const mode_t mode = replacing ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());

    RemoveCopiesOfDeadSaves(folder, where.Name);
    std::string named;
    TFileHandle file = NewFile(folder, where.Name, 0600, named);
    if (!file) return errno;
    int error = 0;
    // The owner first: a change of owner clears the set-id bits that the mode then restores.
    // Taking over the old owner may be refused (another user's file saved by a plain user).
    if (replacing && (old.st_uid != geteuid() || old.st_gid != getegid()))
        sys::Fchown(file.Get(), old.st_uid, old.st_gid);
    if (sys::Fchmod(file.Get(), mode) != 0) error = errno;
    for (const TFilePiece& piece : pieces) {
        if (error) break;
        if (WriteAll(file.Get(), piece.Data, piece.Size) != piece.Size) error = errno;
    }
    if (!error && sys::Fsync(file.Get()) != 0) error = errno;

    if (!error && named.empty()) {
        // Name the finished file; a kill from here to the rename is the only moment a copy can
        // stay behind under its hidden name.
        for (int attempt = 0; attempt < 100; ++attempt) {
            named = TempName(where.Name);
            if (sys::LinkUnnamed(file.Get(), folder, named.c_str()) == 0) break;
            const int failed = errno;
            named.clear();
            if (failed != EEXIST) {
                error = failed;
                break;
            }
        }
        if (!error && named.empty()) error = EEXIST;
    }
    if (!error && sys::RenameAt(folder, named.c_str(), folder, name) == 0)
        named.clear();
    else if (!error)
        error = errno;
    file.Reset();
    if (!named.empty()) sys::UnlinkAt(folder, named.c_str(), 0);
    return error;
}

} // namespace quill::kernel
