#include "infra/root/module_path.h"

#include "platform/kernel/long_path.h"
#include "platform/kernel/module.h"
#include "platform/kernel/system_info.h"

namespace quill::infra {

std::string LongPathName(const std::string& path) {
    std::string longPath;
    return kernel::GetLongPathNameA(path, &longPath) ? longPath : path;
}

std::string ModuleFileName(bool baseOnly) {
    // The address of this very function lies in the module we are part of.
    const std::string path =
        LongPathName(kernel::ModuleFileNameOf(reinterpret_cast<const void*>(&ModuleFileName)));
    if (!baseOnly) return path;
    const auto slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (const auto dot = name.rfind('.'); dot != std::string::npos) name.resize(dot);
    return name;
}

std::string LibraryFileName() {
    // Every device list and model list names its library; the name is the one the module was
    // loaded under, so it is looked up once rather than through the loader and the file system
    // each time.
    static const std::string name = [] {
        const std::string path = ModuleFileName();
        return path.substr(path.find_last_of('/') + 1); // the whole text when there is no folder
    }();
    return name;
}

bool IsNtPlatform() {
    kernel::OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    return kernel::GetVersionExA(&info) && info.dwPlatformId == kernel::VER_PLATFORM_WIN32_NT;
}

} // namespace quill::infra
