// quill-host --gui: loads the window module (host_window.h) from where the plug-in is found
// (module_location.h) and serves it the session's devices and the keyboard bridge.
//
// On the UI thread. The module stays loaded until the process ends: a toolkit that registered
// exit handlers must never be unloaded.
#pragma once

#include "host/console.h"
#include "host/session.h"
#include "host/window/host_window.h"

#include <memory>
#include <string>

namespace quill::host {

class TWindowHost final : public IWindowHost {
  public:
    TWindowHost(TQuillSession& session, user::TKeyboardBridge& bridge, TConsole& console)
        : FSession(session), FBridge(bridge), FConsole(console) {}

    // Loads the module and makes the window; false with `error` set when the module is missing
    // or no display can be reached.
    bool Open(std::string& error);
    THostWindow* Window() const { return FWindow.get(); }

    user::TKeyboardBridge& Bridge() override { return FBridge; }
    std::vector<TDeviceView> Devices() override;
    void OpenSettings(std::size_t index) override;

  private:
    TQuillSession& FSession;
    user::TKeyboardBridge& FBridge;
    TConsole& FConsole;
    std::unique_ptr<THostWindow> FWindow;
};

} // namespace quill::host
