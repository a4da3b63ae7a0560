#include "platform/kernel/file_replace.h"

#include "platform/kernel/file_calls.h"
#include "platform/kernel/file_rules_impl.h"
#include "platform/kernel/files.h"
#include "platform/kernel/folders.h"
#include "platform/kernel/save_copy_name.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <string>
#include <string_view>
#include <sys/random.h>
#include <unistd.h>
#include <vector>

namespace quill::kernel {

namespace {

constexpr int kNameAttempts = 16;

std::atomic<std::uint64_t> gTempCounter{0};

// 64 bits that nobody else can predict: a name made of them cannot be taken in advance. Should
// the kernel's generator fail, a mix of the clock, the process and a counter still differs from
// every name that was in the folder when the save began.
std::uint64_t UnguessableNumber() {
    std::uint64_t value = 0;
    if (getrandom(&value, sizeof value, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof value))
        return value;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    value =
        static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 30);
    value ^= (static_cast<std::uint64_t>(getpid()) << 40) ^ gTempCounter.fetch_add(1);
    return value * 0x9E3779B97F4A7C15ull;
}

std::string TempName(const std::string& base) {
    return SaveCopyName(base, static_cast<std::uint32_t>(getpid()), UnguessableNumber());
}

// Whether `folder` is a world-writable folder with the sticky bit (as the system's temporary
// folder), where any user may have put what stands under a name; its owner in `owner`.
bool IsGuardedFolder(int folder, uid_t& owner) {
    struct stat info {};
    if (sys::Fstat(folder, &info) != 0) return false;
    owner = info.st_uid;
    return (info.st_mode & S_ISVTX) && (info.st_mode & S_IWOTH);
}

// In such a folder the kernel refuses to open a file of someone who is neither the caller nor
// the folder's owner for creation, and so does a save: replacing it would give that user the
// caller's data, and its owner and mode would be copied onto the caller's file. A file with a
// second name may be a link to a file that others can write (or one the caller keeps elsewhere),
// whose mode the save would copy: it is refused as well.
bool MayReplaceIn(int folder, const struct stat& old) {
    uid_t owner = 0;
    if (!IsGuardedFolder(folder, owner)) return true;
    if (old.st_uid != geteuid() && old.st_uid != owner) return false;
    return !S_ISREG(old.st_mode) || old.st_nlink == 1;
}

// A file to write the new contents into: unnamed when the file system allows, else under a
// fresh hidden name (returned in `named`).
TFileHandle NewFile(int folder, const std::string& base, mode_t mode, std::string& named) {
    TFileHandle file(sys::OpenAt(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (file || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return file;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
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
    std::vector<std::string> names;
    if (!ListFolderNames(folder, names)) return;
    for (const std::string& name : names) {
        const auto pid = static_cast<pid_t>(SaveCopyOwner(name, base));
        if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH) sys::UnlinkAt(folder, name.c_str(), 0);
    }
}

} // namespace

unsigned CurrentUmask() {
    // The kernel reports the mask in the process status; umask() itself would change it.
    TFileHandle status(sys::OpenAt(AT_FDCWD, "/proc/self/status", O_RDONLY | O_CLOEXEC));
    std::string text;
    if (status && ReadAll(status, text).Ok()) {
        const std::size_t at = text.find("Umask:");
        unsigned mask = 0;
        if (at != std::string::npos && std::sscanf(text.c_str() + at, "Umask: %o", &mask) == 1)
            return mask;
    }
    return 022;
}

namespace {

// Replaces as ReplaceFileContents does; 0 or the errno of the step that failed.
int Replace(std::string_view path, std::span<const TFilePiece> pieces) {
    TResolvedPath where;
    if (const TFileError failed = ResolvePath(path, where); failed.Failed())
        return failed.SystemCode();
    const int folder = where.Folder.Get();
    const char* name = where.Name.c_str();

    struct stat old {};
    const bool exists = sys::LstatAt(folder, name, &old) == 0;
    if (exists && !MayReplaceIn(folder, old)) return EACCES;
    const bool replacing = exists && S_ISREG(old.st_mode);
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
        if (const TFileError failed = WriteAll(file, piece.Data, piece.Size); failed.Failed())
            error = failed.SystemCode();
    }
    if (!error && sys::Fsync(file.Get()) != 0) error = errno;

    if (!error && named.empty()) {
        // Name the finished file; a kill from here to the rename is the only moment a copy can
        // stay behind under its hidden name.
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
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

} // namespace

TFileError ReplaceFileContents(std::string_view path, std::span<const TFilePiece> pieces) {
    return TFileError::FromSystem(Replace(path, pieces));
}

} // namespace quill::kernel
