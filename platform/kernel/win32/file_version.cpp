// The Windows side of file_version.h: the system (version.dll) finds a file's version resource,
// and the library's own checks decide whether it is whole before any of it is handed out. The
// system's reading of a damaged file can report any size, and its VerQueryValue trusts the lengths
// inside the block; here a block is used only when it is well formed, and VerQueryValueA is the
// library's own, which reads inside the block only and gives texts in Windows-1251 whatever the
// system's 8-bit code page.
#include "platform/kernel/file_version.h"

#include "platform/kernel/file_version_block.h"
#include "platform/kernel/win32/win_calls.h"

#include <optional>
#include <vector>

namespace quill::kernel {

namespace {

// A version block is at most 64 KiB; what the system reports for one stays within a few times that.
constexpr ::DWORD kMostReported = 4 * 0x10000;

} // namespace

// The checked block, trimmed to its root length.
std::optional<std::vector<unsigned char>> VersionBlockOf(const std::string& fileName) {
    const std::wstring name = win32::WidePath(fileName);
    ::DWORD zero = 0;
    const ::DWORD size = ::GetFileVersionInfoSizeW(name.c_str(), &zero);
    if (size >= 6 && size <= kMostReported) {
        std::vector<unsigned char> bytes(size);
        if (::GetFileVersionInfoW(name.c_str(), 0, size, bytes.data()) &&
            ValidVersionBlock(bytes.data(), bytes.size())) {
            bytes.resize(VersionBlockLength(bytes.data()));
            return bytes;
        }
    }
    ::SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return std::nullopt;
}

} // namespace quill::kernel
