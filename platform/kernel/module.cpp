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

} // namespace quill::kernel
