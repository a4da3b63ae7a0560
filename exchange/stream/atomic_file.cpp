#include "exchange/stream/atomic_file.h"

#include "platform/kernel/files.h"
#include "platform/kernel/last_error.h"
#include "platform/rtl/exception.h"

#include <cerrno>
#include <cstring>
#include <span>

namespace quill::exchange {

namespace {

[[noreturn]] void RaiseSystemError(const std::string& what, const std::string& path, int error) {
    throw rtl::EOleSysError(what + " '" + path + "': " + std::strerror(error),
                            HResultFromErrno(error));
}

} // namespace

com::HRESULT HResultFromErrno(int error) {
    if (error == ENOMEM) return com::E_OUTOFMEMORY;
    return static_cast<com::HRESULT>(0x80070000u | (kernel::LastErrorFromErrno(error) & 0xFFFF));
}

void ReplaceFileContents(const std::string& path, std::initializer_list<TFilePiece> pieces) {
    const int error = kernel::ReplaceFileContents(
        path, std::span<const TFilePiece>(pieces.begin(), pieces.size()));
    if (error) RaiseSystemError("Cannot write", path, error);
}

bool ReadWholeFile(const std::string& path, std::string& contents, std::size_t limit) {
    if (kernel::ReadFileAt(path, contents, limit)) return true;
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) return false;
    RaiseSystemError("Cannot read", path, error);
}

bool FileExists(const std::string& path) {
    return kernel::RegularFileExists(path);
}

} // namespace quill::exchange
