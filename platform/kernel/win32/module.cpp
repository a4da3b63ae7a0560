// The Windows side of module.h: the module that contains an address (GetModuleHandleEx) and its
// file name (GetModuleFileName), as the contract's paths; libraries loaded by path (LoadLibrary).
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

void* OpenLibrary(const std::string& path, std::string& why) {
    // No message box for a library that cannot be loaded: the caller reports it.
    const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = ::LoadLibraryW(win32::WidePath(path).c_str());
    const ::DWORD error = ::GetLastError();
    ::SetErrorMode(previous);
    if (!module) why = TFileError::FromSystem(static_cast<int>(error)).Text();
    return reinterpret_cast<void*>(module);
}

void* LibraryExport(void* module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseLibrary(void* module) {
    if (module) ::FreeLibrary(static_cast<HMODULE>(module));
}

} // namespace quill::kernel
