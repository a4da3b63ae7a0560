// Load and unload of the library: the start-up steps run in their documented order from this one
// module constructor, and the shut-down steps in reverse from the module destructor, rather than
// from static initialisers whose order the linker decides.
//
// Start-up: the log, the settings-XML module's formats, the value-array class, the tuning values,
// then the driver object.
// A step that fails never stops the loading: it leaves an error line in the log naming the step
// and why, the steps after it still run, and a driver object that cannot be built stays nil (the
// host is then told that there is none). Shut-down: the driver object (its device list and
// keyboard hook, plug-in control object and mutex), the timer windows' class, the release of the
// modifier keys, the value-array class registration, and last the log.
#include "capture/manager/manager_quill_list.h"
#include "exchange/valuearray/value_array_class.h"
#include "exchange/xml/xml_module.h"
#include "infra/log/log_module.h"
#include "plugin/control/library_steps.h"
#include "plugin/scanner/dll_quill.h"
#include "plugin/scanner/tuning.h"

#include <utility>

namespace quill::plugin {
namespace {

constexpr TLibraryStep kLoadSteps[] = {
    {"settings XML formats", [] { exchange::InitialiseSettingsXml(); }},
    // The value-array class is served from load on: a host's event sink creates value arrays
    // through the class registry before the library itself may have made one.
    {"value-array class", [] { exchange::CreateValueArray(); }},
    {"tuning file", [] { ReadStartupTuning(); }},
    {"driver object", [] { DllObject = new TDllQuill(); }},
};

constexpr TLibraryStep kUnloadSteps[] = {
    {"driver object", [] { delete std::exchange(DllObject, nullptr); }},
    {"timer window class", [] { capture::UnregisterTimerWindowClass(); }},
    {"modifier keys", [] { ReleaseModifierKeys(); }},
    {"value-array class", [] { exchange::RevokeValueArrayClass(); }},
};

__attribute__((constructor)) void LoadLibrary() {
    infra::LogStartup();
    RunLibrarySteps("Load", kLoadSteps);
}

__attribute__((destructor)) void UnloadLibrary() {
    RunLibrarySteps("Unload", kUnloadSteps);
    infra::LogShutdown();
}

} // namespace
} // namespace quill::plugin
