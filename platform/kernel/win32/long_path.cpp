// The Windows side of long_path.h: the system's GetLongPathName, with the contract's paths.
#include "platform/kernel/long_path.h"

#include "platform/kernel/win32/win_calls.h"

#include <vector>

namespace quill::kernel {

bool GetLongPathNameA(const std::string& shortPath, std::string* longPath) {
    if (!longPath || shortPath.empty()) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::wstring path = win32::WidePath(shortPath);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const ::DWORD n =
            ::GetLongPathNameW(path.c_str(), buffer.data(), static_cast<::DWORD>(buffer.size()));
        if (n == 0) return false;
        if (n < buffer.size()) {
            *longPath = win32::Utf8Path(std::wstring_view(buffer.data(), n));
            return true;
        }
        buffer.resize(n + 1);
    }
}

} // namespace quill::kernel
