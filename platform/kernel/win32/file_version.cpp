// The Windows side of file_version.h: the system's version resources (version.dll), any file
// asked by its contract path. VerQueryValueA gives text values in the system's 8-bit code page.
#include "platform/kernel/file_version.h"

#include "platform/kernel/win32/win_calls.h"

#include <cstddef>

namespace quill::kernel {

static_assert(sizeof(VS_FIXEDFILEINFO) == sizeof(::VS_FIXEDFILEINFO));
static_assert(offsetof(VS_FIXEDFILEINFO, dwFileVersionLS) ==
              offsetof(::VS_FIXEDFILEINFO, dwFileVersionLS));

DWORD GetFileVersionInfoSizeA(const std::string& fileName, DWORD* handle) {
    ::DWORD zero = 0;
    const ::DWORD size = ::GetFileVersionInfoSizeW(win32::WidePath(fileName).c_str(), &zero);
    if (handle) *handle = zero;
    return size;
}

BOOL GetFileVersionInfoA(const std::string& fileName, DWORD handle, DWORD length, void* data) {
    return ::GetFileVersionInfoW(win32::WidePath(fileName).c_str(), handle, length, data);
}

BOOL VerQueryValueA(const void* block, const std::string& subBlock, void** buffer, UINT* length) {
    ::UINT size = 0;
    const BOOL found = ::VerQueryValueA(block, subBlock.c_str(), buffer, &size);
    if (length) *length = size;
    return found;
}

} // namespace quill::kernel
