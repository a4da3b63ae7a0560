// The window of quill-host --gui, as the host sees it: a checkout screen with an input field that
// receives exactly what the application is meant to get, a list of scan events, the devices with
// their framing settings and a button that opens a device's settings dialog.
//
// The window lives in a module of its own ("quill-host-window.so", found as the plug-in is:
// host/module_location.h, loaded on demand), so that the terminal host never loads the toolkit or
// the X libraries. The module exports only QuillCreateHostWindow(), which returns null when no display can be reached.
//
// The toolkit's key events in the window go through the host's keyboard bridge; what the bridge
// delivers comes back through Deliver. The window's loop waits on the bridge's descriptor, so the
// capture's timers and other threads' messages run on time while the window is idle.
//
// Threads: everything on the host's UI thread, the thread that made the bridge.
#pragma once

#include "platform/user/keyboard_bridge.h"

#include <string>
#include <vector>

namespace quill::host {

struct TDeviceView {
    std::string Name; // UTF-8
    std::string Prefix;
    std::string Suffix;
    int TimeoutMs = 0;
    bool On = false;
};

struct TScanView {
    std::string Time;   // local time of day, hh:mm:ss.mmm
    std::string Device; // UTF-8
    std::string Data;   // with control characters made visible (EscapeControls)
};

// What the window asks of its host.
class IWindowHost {
  public:
    virtual user::TKeyboardBridge& Bridge() = 0;
    virtual std::vector<TDeviceView> Devices() = 0;
    // Opens the settings dialog of device `index` (0-based) and waits for it to close.
    virtual void OpenSettings(std::size_t index) = 0;

  protected:
    ~IWindowHost() = default;
};

class THostWindow {
  public:
    virtual ~THostWindow() = default;
    // Shows the window and runs the toolkit's loop until the window is closed (its close box or
    // its Close button) or the bridge retrieves WM_QUIT.
    virtual void Run(IWindowHost& host, const std::string& title) = 0;
    // A key or character that reached the application (from the bridge's callback).
    virtual void Deliver(const user::TApplicationKey& key) = 0;
    virtual void AddScan(const TScanView& scan) = 0;
    // The input field's text and the scan list, as they stand.
    virtual std::string FieldText() const = 0;
    virtual std::vector<TScanView> Scans() const = 0;
};

// The module's factory, and its name for dlsym.
using HostWindowFactory = THostWindow* (*)();
constexpr const char* kHostWindowFactoryName = "QuillCreateHostWindow";
constexpr const char* kHostWindowModuleName = "quill-host-window.so";

} // namespace quill::host
