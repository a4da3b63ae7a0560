#include "exchange/stream/atomic_file.h"

#include "platform/kernel/files.h"
#include "platform/rtl/exception.h"

#include <span>

namespace quill::exchange {

namespace {

[[noreturn]] void RaiseFileError(const std::string& what, const std::string& path,
                                 kernel::TFileError error) {
    throw rtl::EOleSysError(what + " '" + path + "': " + error.Text(),
                            kernel::HResultFromFileError(error));
}

} // namespace

void ReplaceFileContents(const std::string& path, std::initializer_list<TFilePiece> pieces) {
    const kernel::TFileError error = kernel::ReplaceFileContents(
        path, std::span<const TFilePiece>(pieces.begin(), pieces.size()));
    if (error.Failed()) RaiseFileError("Cannot write", path, error);
}

bool ReadWholeFile(const std::string& path, std::string& contents, std::size_t limit) {
    const kernel::TFileError error = kernel::ReadFileAt(path, contents, limit);
    if (error.Ok()) return true;
    if (error.Is(kernel::TFileError::NotFound)) return false;
    RaiseFileError("Cannot read", path, error);
}

bool FileExists(const std::string& path) {
    return kernel::RegularFileExists(path);
}

} // namespace quill::exchange
