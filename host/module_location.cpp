#include "host/module_location.h"

#include "platform/kernel/files.h"
#include "platform/kernel/module.h"

#include <filesystem>

namespace quill::host {

namespace {

std::string ProgramFolder() {
    const std::string program = kernel::ProgramFileName();
    if (program.empty()) return "./";
    return program.substr(0, program.rfind('/') + 1);
}

// The program's folder is its real path, so ".." is its true parent and may be folded: messages
// then name /usr/lib/..., not /usr/bin/../lib/....
std::vector<std::string> ModuleFolders(const std::string& programFolder) {
    const std::filesystem::path installed(programFolder + QUILL_MODULE_DIR_FROM_BIN + "/");
    return {installed.lexically_normal().string(), programFolder};
}

} // namespace

std::string FindModule(std::string_view name, std::vector<std::string>& looked) {
    looked.clear();
    for (const std::string& folder : ModuleFolders(ProgramFolder())) {
        std::string path = folder + std::string(name);
        if (kernel::RegularFileExists(path)) return path;
        looked.push_back(std::move(path));
    }
    return {};
}

std::string ListLooked(const std::vector<std::string>& looked) {
    std::string text;
    for (std::size_t i = 0; i < looked.size(); ++i)
        text += (i == 0 ? "" : i + 1 == looked.size() ? " and " : ", ") + looked[i];
    return text;
}

} // namespace quill::host
