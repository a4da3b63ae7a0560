// The Windows side of module.h: the module that contains an address (GetModuleHandleEx) and its
// file name (GetModuleFileName), as the contract's paths.
#include "platform/kernel/module.h"

#include "platform/kernel/win32/win_calls.h"

#include <vector>

namespace quill::kernel {

namespace {

// Which thread loads the module is known only while it loads: the run-time's static data is set up
// then, on that thread, before anything of the module runs.
const ::DWORD gLoaderThread = ::GetCurrentThreadId();

std::string FileNameOf(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const ::DWORD n =
            ::GetModuleFileNameW(module, buffer.data(), static_cast<::DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return win32::Utf8Path(std::wstring_view(buffer.data(), n));
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

std::uint32_t MainThreadId() {
    return gLoaderThread;
}

std::string ProgramFileName() {
    return FileNameOf(nullptr);
}

std::string ModuleFileNameOf(const void* address) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<const wchar_t*>(address), &module))
        return ProgramFileName();
    return FileNameOf(module);
}

} // namespace quill::kernel
