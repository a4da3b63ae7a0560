#include "host/plugin_version.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/file_version.h"
#include "platform/kernel/files.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace quill::host {

std::string PluginFileVersion(const std::string& path) {
    kernel::DWORD handle = 0;
    const kernel::DWORD size = kernel::GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return {};
    std::vector<unsigned char> block(size);
    if (!kernel::GetFileVersionInfoA(path, handle, size, block.data())) return {};

    void* value = nullptr;
    kernel::UINT length = 0;
    if (kernel::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) &&
        length >= 4) {
        const auto* pair = static_cast<const std::uint16_t*>(value);
        char key[9];
        std::snprintf(key, sizeof key, "%04X%04X", pair[0], pair[1]);
        const std::string text = std::string("\\StringFileInfo\\") + key + "\\FileVersion";
        if (kernel::VerQueryValueA(block.data(), text, &value, &length) && length > 1)
            return kernel::AnsiToUtf8(
                std::string_view(static_cast<const char*>(value), length - 1));
    }
    if (!kernel::VerQueryValueA(block.data(), "\\", &value, &length) ||
        length < sizeof(kernel::VS_FIXEDFILEINFO))
        return {};
    const auto* fixed = static_cast<const kernel::VS_FIXEDFILEINFO*>(value);
    return std::to_string(fixed->dwFileVersionMS >> 16) + "." +
           std::to_string(fixed->dwFileVersionMS & 0xFFFF) + "." +
           std::to_string(fixed->dwFileVersionLS >> 16) + "." +
           std::to_string(fixed->dwFileVersionLS & 0xFFFF);
}

int PrintVersion(const std::string& plugin) {
    if (!kernel::RegularFileExists(plugin)) {
        std::fprintf(stderr, "quill-host: there is no plug-in at %s\n", plugin.c_str());
        return EXIT_FAILURE;
    }
    const std::string version = PluginFileVersion(plugin);
    if (version.empty()) {
        std::fprintf(stderr, "quill-host: %s has no version information\n", plugin.c_str());
        return EXIT_FAILURE;
    }
    std::printf("quill-host %s\nplug-in: %s\n", version.c_str(), plugin.c_str());
    return EXIT_SUCCESS;
}

} // namespace quill::host
