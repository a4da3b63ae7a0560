#include "host/plugin_loader.h"

#include "platform/kernel/module.h"

namespace quill::host {

bool TPluginLoader::Load(const std::string& path) {
    Unload();
    std::string why;
    FHandle = kernel::OpenLibrary(path, why);
    if (!FHandle) {
        // Where it looked, so that a user can tell a wrong path from a broken file.
        FError = "cannot load the plug-in " + path + ": " + why;
        return false;
    }
    Query = reinterpret_cast<QueryFunc>(kernel::LibraryExport(FHandle, "Query"));
    PluginControl =
        reinterpret_cast<PluginControlFunc>(kernel::LibraryExport(FHandle, "PluginControl"));
    BeforeFreeLibrary = reinterpret_cast<BeforeFreeLibraryFunc>(
        kernel::LibraryExport(FHandle, "BeforeFreeLibrary"));
    if (!Query || !PluginControl || !BeforeFreeLibrary) {
        FError = path + " is not a plug-in: an export is missing";
        Unload();
        return false;
    }
    return true;
}

void TPluginLoader::Unload() {
    if (!FHandle) return;
    if (BeforeFreeLibrary) BeforeFreeLibrary();
    kernel::CloseLibrary(FHandle);
    FHandle = nullptr;
    Query = nullptr;
    PluginControl = nullptr;
    BeforeFreeLibrary = nullptr;
}

} // namespace quill::host
