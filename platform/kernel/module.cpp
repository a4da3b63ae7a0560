#include "platform/kernel/module.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace quill::kernel {

std::string ProgramFileName() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::uint32_t MainThreadId() {
    return static_cast<std::uint32_t>(getpid());
}

std::string ModuleFileNameOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname || !*info.dli_fname) return ProgramFileName();
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved)) {
        return std::string(resolved);
    }
    return ProgramFileName();
}

void* OpenLibrary(const std::string& path, std::string& why) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* reason = dlerror();
        why = reason ? reason : "dlopen failed";
    }
    return module;
}

void* LibraryExport(void* module, const char* name) {
    return module ? dlsym(module, name) : nullptr;
}

void CloseLibrary(void* module) {
    if (module) dlclose(module);
}

} // namespace quill::kernel
