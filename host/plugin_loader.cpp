#include "host/plugin_loader.h"

#include <dlfcn.h>

namespace quill::host {

bool TPluginLoader::Load(const std::string& path) {
    Unload();
    FHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!FHandle) {
        const char* reason = dlerror();
        FError = reason ? reason : "dlopen failed";
        return false;
    }
    Query = reinterpret_cast<QueryFunc>(dlsym(FHandle, "Query"));
    PluginControl = reinterpret_cast<PluginControlFunc>(dlsym(FHandle, "PluginControl"));
    BeforeFreeLibrary =
        reinterpret_cast<BeforeFreeLibraryFunc>(dlsym(FHandle, "BeforeFreeLibrary"));
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
    dlclose(FHandle);
    FHandle = nullptr;
    Query = nullptr;
    PluginControl = nullptr;
    BeforeFreeLibrary = nullptr;
}

} // namespace quill::host
