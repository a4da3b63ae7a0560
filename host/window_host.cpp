#include "host/window_host.h"

#include "host/device_views.h"
#include "host/module_location.h"
#include "platform/kernel/module.h"

#include <cstdlib>

namespace quill::host {

bool TWindowHost::Open(std::string& error) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        error = "--gui needs a display (DISPLAY is not set)";
        return false;
    }
    std::vector<std::string> looked;
    const std::string path = FindModule(kHostWindowModuleName, looked);
    if (path.empty()) {
        error = std::string("the window module ") + kHostWindowModuleName +
                " was not found; looked at " + ListLooked(looked);
        return false;
    }
    std::string why;
    void* module = kernel::OpenLibrary(path, why);
    if (!module) {
        error = "the window module could not be loaded: " + why;
        return false;
    }
    const auto factory =
        reinterpret_cast<HostWindowFactory>(kernel::LibraryExport(module, kHostWindowFactoryName));
    if (!factory) {
        error = path + " has no " + kHostWindowFactoryName;
        return false;
    }
    FWindow.reset(factory());
    if (!FWindow) {
        error = std::string("the display ") + display + " cannot be reached";
        return false;
    }
    return true;
}

std::vector<TDeviceView> TWindowHost::Devices() {
    return ReadDeviceViews(FSession);
}

void TWindowHost::OpenSettings(std::size_t index) {
    const int result = OpenDeviceSettings(FSession, index);
    FConsole.Line(result == 0 ? "The settings dialog: accepted" : "The settings dialog: cancelled");
}

} // namespace quill::host
