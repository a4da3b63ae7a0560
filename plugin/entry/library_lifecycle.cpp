// Load and unload of the library: the start-up steps run in their documented order from this one
// module constructor, and the shut-down steps in reverse from the module destructor, rather than
// from static initialisers whose order the linker decides.
//
// Start-up: the log, the settings-XML module's formats, the value-array class, the tuning values,
// then the driver object.
// A step that fails never stops the loading: the steps after it still run, and a driver object
// that cannot be built stays nil (the host is then told that there is none). Shut-down: the driver
// object (its device list and keyboard hook, plug-in control object and mutex), the timer windows'
// class, the release of the modifier keys, the value-array class registration, and last the log.
#include "capture/manager/manager_quill_list.h"
#include "exchange/valuearray/value_array_class.h"
#include "exchange/xml/xml_module.h"
#include "infra/log/log_module.h"
#include "plugin/scanner/dll_quill.h"
#include "plugin/scanner/tuning.h"

#include <utility>

namespace quill::plugin {
namespace {

__attribute__((constructor)) void LoadLibrary() {
    infra::LogStartup();
    try {
        exchange::InitialiseSettingsXml();
    } catch (...) {
    }
    try {
        // The value-array class is served from load on: a host's event sink creates value arrays
        // through the class registry before the library itself may have made one.
        exchange::CreateValueArray();
    } catch (...) {
    }
    try {
        ReadStartupTuning();
    } catch (...) {
    }
    try {
        DllObject = new TDllQuill();
    } catch (...) {
        DllObject = nullptr;
    }
}

__attribute__((destructor)) void UnloadLibrary() {
    try {
        delete std::exchange(DllObject, nullptr);
    } catch (...) {
    }
    try {
        capture::UnregisterTimerWindowClass();
    } catch (...) {
    }
    try {
        ReleaseModifierKeys();
    } catch (...) {
    }
    try {
        exchange::RevokeValueArrayClass();
    } catch (...) {
    }
    infra::LogShutdown();
}

} // namespace
} // namespace quill::plugin
