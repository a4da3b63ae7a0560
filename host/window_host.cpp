#include "host/window_host.h"

#include "host/device_views.h"
#include "host/module_location.h"
#include "platform/kernel/local_time.h"

#include <cstdio>
#include <dlfcn.h>

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
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        error = std::string("the window module could not be loaded: ") + ::dlerror();
        return false;
    }
    const auto factory =
        reinterpret_cast<HostWindowFactory>(::dlsym(module, kHostWindowFactoryName));
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

std::string TimeOfDay() {
    kernel::SYSTEMTIME local{};
    kernel::GetLocalTime(&local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.wHour, local.wMinute,
                  local.wSecond, local.wMilliseconds);
    return text;
}

} // namespace quill::host
