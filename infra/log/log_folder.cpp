#include "infra/log/log_folder.h"

#include "platform/kernel/folders.h"
#include "platform/kernel/special_folders.h"

namespace quill::infra {

namespace {

struct TLogPlace {
    std::string Path; // with a trailing "/"
    kernel::TFileHandle Folder;
};

// "OrvixEquipment/LOGs" under `csidl`, made and checked as `use`.
TLogPlace MakeLogFolder(int csidl, kernel::TFolderUse use) {
    const std::string base = kernel::SHGetSpecialFolderPath(csidl, true);
    if (base.empty()) return {};
    kernel::TFileHandle equipment = kernel::MakeFolders(
        base + "/OrvixEquipment", 0755,
        use == kernel::TFolderUse::Shared ? kernel::TFolderUse::Walk : kernel::TFolderUse::Private);
    if (!equipment) return {};
    const unsigned mode = use == kernel::TFolderUse::Shared ? 01777 : 0755;
    kernel::TFileHandle logs = kernel::MakeFolderAt(equipment, "LOGs", mode, use);
    if (!logs) return {};
    return {base + "/OrvixEquipment/LOGs/", std::move(logs)};
}

TLogPlace FindLogFolder() {
    TLogPlace place = MakeLogFolder(kernel::CSIDL_COMMON_APPDATA, kernel::TFolderUse::Shared);
    if (!place.Folder) place = MakeLogFolder(kernel::CSIDL_APPDATA, kernel::TFolderUse::Private);
    return place;
}

} // namespace

std::string LogFolder() {
    return FindLogFolder().Path;
}

kernel::TFileHandle OpenLogFolder() {
    return FindLogFolder().Folder;
}

kernel::TFileHandle OpenLogLockArea() {
    kernel::TFileHandle logs = OpenLogFolder();
    if (!logs) return {};
    const bool shared = kernel::IsSharedFolder(logs);
    return kernel::MakeFolderAt(logs, ".locks", shared ? 01777 : 0755,
                                shared ? kernel::TFolderUse::Shared : kernel::TFolderUse::Private);
}

} // namespace quill::infra
