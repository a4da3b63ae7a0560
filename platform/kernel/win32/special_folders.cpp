// The Windows side of special_folders.h: the system's folders (SHGetFolderPath), as the
// contract's paths; QUILL_DATA_DIR, when set, replaces both as on Linux.
#include "platform/kernel/special_folders.h"

#include "platform/kernel/folders.h"
#include "platform/kernel/win32/win_calls.h"

#include <shlobj.h>
// The system header names its A and W forms with a macro of the contract's name.
#undef SHGetSpecialFolderPath

namespace quill::kernel {

namespace {

std::string Overridden() {
    wchar_t buffer[32768];
    const ::DWORD n = ::GetEnvironmentVariableW(L"QUILL_DATA_DIR", buffer, 32768);
    if (n == 0 || n >= 32768) return {};
    return win32::Utf8Path(std::wstring_view(buffer, n));
}

} // namespace

bool ForceDirectories(const std::string& path, unsigned mode) {
    return MakeFolders(path, mode, TFolderUse::Walk).Valid();
}

std::string SHGetSpecialFolderPath(int csidl, bool create) {
    std::string folder = Overridden();
    if (folder.empty()) {
        if (csidl != CSIDL_COMMON_APPDATA && csidl != CSIDL_APPDATA) return {};
        wchar_t buffer[MAX_PATH] = {};
        if (FAILED(::SHGetFolderPathW(nullptr, csidl | (create ? CSIDL_FLAG_CREATE : 0), nullptr,
                                      SHGFP_TYPE_CURRENT, buffer)))
            return {};
        folder = win32::Utf8Path(buffer);
    } else if (create && !ForceDirectories(folder)) {
        return {};
    }
    while (folder.size() > 3 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty() || !OpenFolder(folder, TFolderUse::Walk)) return {};
    return folder;
}

} // namespace quill::kernel
