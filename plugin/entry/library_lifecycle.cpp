// Load and unload of the library: the start-up steps run in their documented order from this one
// module constructor, and the shut-down steps in reverse from the module destructor, rather than
// from static initialisers whose order the linker decides.
#include "exchange/xml/xml_module.h"
#include "plugin/control/call_entry.h"
#include "plugin/control/plugin_control.h"
#include "plugin/driver/base_dll_obj.h"

#include <memory>

namespace quill::plugin {
namespace {

// Until the driver object exists, the plug-in control object stands alone, so that a host still
// reaches it and is told that there is no driver object.
std::unique_ptr<TPluginControl> gStandaloneControl;

__attribute__((constructor)) void LoadLibrary() {
    try {
        // The settings module's process-wide number and date formats.
        exchange::InitialiseSettingsXml();
        gStandaloneControl = std::make_unique<TPluginControl>(&DllObject, &CallEntry);
    } catch (...) {
        // A failed start leaves the holder nil: PluginControl then hands out nil.
        gStandaloneControl.reset();
    }
}

__attribute__((destructor)) void UnloadLibrary() {
    try {
        gStandaloneControl.reset();
    } catch (...) {
    }
}

} // namespace
} // namespace quill::plugin
