#include "platform/kernel/save_copy_name.h"

#include <cctype>
#include <cstdio>

namespace quill::kernel {

std::string SaveCopyName(const std::string& base, std::uint32_t pid, std::uint64_t unguessable) {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%lu.%016llx.tmp", static_cast<unsigned long>(pid),
                  static_cast<unsigned long long>(unguessable));
    return "." + base + suffix;
}

std::uint32_t SaveCopyOwner(std::string_view name, const std::string& base) {
    const std::string prefix = "." + base + ".";
    if (!name.starts_with(prefix) || !name.ends_with(".tmp")) return 0;
    const std::string_view rest = name.substr(prefix.size());
    std::uint32_t pid = 0;
    std::size_t at = 0;
    while (at < rest.size() && rest[at] >= '0' && rest[at] <= '9' && pid < 100000000)
        pid = pid * 10 + static_cast<std::uint32_t>(rest[at++] - '0');
    if (at == 0 || at >= rest.size() || rest[at] != '.') return 0;
    const std::string_view tail = rest.substr(at + 1);
    if (!tail.ends_with(".tmp") || tail.size() == 4) return 0;
    for (const char c : tail.substr(0, tail.size() - 4))
        if (!std::isxdigit(static_cast<unsigned char>(c))) return 0;
    return pid;
}

} // namespace quill::kernel
