#include "infra/log/log_folder.h"

#include "platform/kernel/special_folders.h"

#include <sys/stat.h>
#include <unistd.h>

namespace quill::infra {

namespace {

std::string MakeLogFolder(int csidl) {
    std::string base = kernel::SHGetSpecialFolderPath(csidl, true);
    if (base.empty()) return {};
    const std::string equipment = base + "/OrvixEquipment";
    const std::string logs = equipment + "/LOGs";
    if (!kernel::ForceDirectories(logs, 0755)) return {};
    // Open to everyone; a folder of another owner keeps its mode (chmod fails harmlessly).
    chmod(equipment.c_str(), 01777);
    chmod(logs.c_str(), 01777);
    if (access(logs.c_str(), W_OK) != 0) return {};
    return logs + "/";
}

} // namespace

std::string LogFolder() {
    std::string folder = MakeLogFolder(kernel::CSIDL_COMMON_APPDATA);
    if (folder.empty()) folder = MakeLogFolder(kernel::CSIDL_APPDATA);
    return folder;
}

} // namespace quill::infra
