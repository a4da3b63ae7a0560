#include "exchange/stream/atomic_file.h"

#include "platform/rtl/exception.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill::exchange {

namespace {

[[noreturn]] void RaiseSystemError(const std::string& what, const std::string& path, int error) {
    throw rtl::EOleSysError(
        what + " '" + path + "': " + std::strerror(error),
        static_cast<com::HRESULT>(0x80070000u | (static_cast<unsigned>(error) & 0xFFFF)));
}

// The file a save really replaces: the target of a link, else the path itself.
std::string ResolveTarget(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            std::string resolved(real);
            std::free(real);
            return resolved;
        }
    }
    return path;
}

mode_t CurrentUmask() {
    // Reading the mask without changing it: the kernel reports it in the process status.
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                found = true;
                break;
            }
        std::fclose(f);
        if (found) return static_cast<mode_t>(mask);
    }
    return 022;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

void ReplaceFileContents(const std::string& path, std::initializer_list<TFilePiece> pieces) {
    const std::string target = ResolveTarget(path);
    const std::size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp =
        (slash == std::string::npos ? std::string() : folder) + "." + base + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) RaiseSystemError("Cannot create a file in", folder, errno);

    struct stat existing;
    const mode_t mode = stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777)
                                                             : (0666 & ~CurrentUmask());
    int error = 0;
    if (fchmod(fd, mode) != 0) error = errno;
    for (const TFilePiece& piece : pieces)
        if (!error && !WriteAll(fd, piece.Data, piece.Size)) error = errno;
    if (!error && fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && std::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temp.c_str());
        RaiseSystemError("Cannot write", target, error);
    }
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return false;
        RaiseSystemError("Cannot open", path, errno);
    }
    contents.clear();
    // The file's size as a hint: read straight into a block of that size instead of growing the
    // text chunk by chunk. A file that changes meanwhile is still read to its real end below.
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        contents.resize(static_cast<std::size_t>(st.st_size));
        std::size_t filled = 0;
        while (filled < contents.size()) {
            const ssize_t n = ::read(fd, contents.data() + filled, contents.size() - filled);
            if (n < 0) {
                if (errno == EINTR) continue;
                const int error = errno;
                ::close(fd);
                RaiseSystemError("Cannot read", path, error);
            }
            if (n == 0) break;
            filled += static_cast<std::size_t>(n);
        }
        contents.resize(filled);
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            RaiseSystemError("Cannot read", path, error);
        }
        if (n == 0) break;
        contents.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace quill::exchange
