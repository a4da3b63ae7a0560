#include "host/window_host.h"

#include "host/device_views.h"
#include "platform/kernel/module.h"

#include <cstdlib>

namespace quill::host {

namespace {

std::string ExecutableFolder() {
    const std::string program = kernel::ProgramFileName();
    if (program.empty()) return "./";
    return program.substr(0, program.rfind('/') + 1);
}

} // namespace

bool TWindowHost::Open(std::string& error) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        error = "--gui needs a display (DISPLAY is not set)";
        return false;
    }
    const std::string path = ExecutableFolder() + kHostWindowModuleName;
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
