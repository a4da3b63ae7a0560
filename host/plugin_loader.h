// Loads Quill.plu through the platform (LoadLibrary; dlopen on Linux) and resolves its three
// exports, as any host does.
#pragma once

#include "quill/host.h"

#include <string>

namespace quill::host {

class TPluginLoader {
  public:
    TPluginLoader() = default;
    TPluginLoader(const TPluginLoader&) = delete;
    TPluginLoader& operator=(const TPluginLoader&) = delete;
    ~TPluginLoader() { Unload(); }

    // Loads the plug-in at `path`; false with Error() set when it cannot be loaded or lacks an
    // export.
    bool Load(const std::string& path);
    // Calls BeforeFreeLibrary and unloads the plug-in.
    void Unload();

    const std::string& Error() const { return FError; }
    QueryFunc Query = nullptr;
    PluginControlFunc PluginControl = nullptr;
    BeforeFreeLibraryFunc BeforeFreeLibrary = nullptr;

  private:
    void* FHandle = nullptr;
    std::string FError;
};

} // namespace quill::host
