// The window of quill-host.exe: a checkout screen in native controls with an input field that
// receives exactly what the application is meant to get, a list of scan events, the devices with
// their framing settings and a button that opens the selected device's settings dialog, as the
// Linux host's --gui window shows them.
//
// Keys reach the field through the system's input: the plug-in's keyboard hook runs on the thread
// that made the window (the host's UI thread, named by its event sink) and passes or holds each
// key before the field sees it. The field keeps the keyboard focus whenever the window is active.
//
// This header stays free of the system's headers (their macros clash with the platform's names);
// the window itself calls the system directly. Threads: everything on the UI thread. Errors: Open
// fails with a message; nothing else throws, and no exception crosses the window procedure.
#pragma once

#include "host/window/host_window.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quill::host {

struct THostWindowCalls {
    // The devices as they stand now; asked when the window opens and after each dialog.
    std::function<std::vector<TDeviceView>()> Devices;
    // Opens the settings dialog of device `index` (0-based) and returns when it has closed.
    std::function<void(std::size_t index)> OpenSettings;
    // Each character that reached the field (the key messages' WM_CHAR), in order.
    std::function<void(char16_t character)> Typed;
};

class TWin32HostWindow {
  public:
    TWin32HostWindow();
    ~TWin32HostWindow();
    TWin32HostWindow(const TWin32HostWindow&) = delete;
    TWin32HostWindow& operator=(const TWin32HostWindow&) = delete;

    // Makes and shows the window, brings it to the front and gives the field the focus; false
    // with `error` set when the system refuses.
    bool Open(const std::string& title, THostWindowCalls calls, std::string& error);
    // Runs the thread's messages until the window is closed (its close box or its Close button)
    // or the thread retrieves WM_QUIT. The window stays on screen, so keys still held by the
    // capture can reach the field afterwards (Settle).
    void Run();
    // Runs the thread's messages for `ms` milliseconds.
    void Settle(unsigned ms);

    void AddScan(const TScanView& scan);
    std::string FieldText() const;
    std::vector<TScanView> Scans() const;

  private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace quill::host
