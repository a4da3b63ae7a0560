// quill-host: the reference host. It loads Quill.plu, hands over its event sink, creates a scanner
// device (or loads devices from a settings file), switches the devices on, and feeds its UI
// thread keystrokes from the terminal or from a script while pumping that thread's messages: the
// plug-in's keyboard hook runs there, scans arrive as external events, and the keys that pass
// reach this "application" and are echoed.
#include "host/console.h"
#include "host/event_loop.h"
#include "host/evdev_source.h"
#include "host/host_setup.h"
#include "host/key_source.h"
#include "host/module_location.h"
#include "host/options.h"
#include "host/plugin_version.h"
#include "host/recording.h"
#include "host/replay_session.h"
#include "host/scripted_keys.h"
#include "host/session.h"
#include "host/window_host.h"
#include "platform/user/keyboard_bridge.h"
#include "platform/user/clock.h"
#include "platform/user/message_queue.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
// The window's font library keeps its font patterns for the life of the process; the leak
// checker of a sanitized build reports them as lost, though no code of ours can release them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

using namespace quill;

namespace {

// Reads the --evdev devices (and the terminal, for Ctrl+C) until the user quits or every device
// has ended; false when a device could not be opened.
bool ReadDevices(const host::THostOptions& options, user::TKeyboardBridge& bridge,
                 host::TConsole& console) {
    std::vector<std::unique_ptr<host::TEvdevSource>> devices;
    std::vector<host::IInputSource*> sources;
    bool stdinTaken = false;
    for (const std::string& path : options.EvdevDevices) {
        auto device = std::make_unique<host::TEvdevSource>(
            [&console](const std::string& line) { console.Line(line); });
        std::string error;
        if (!device->Open(path, options.Grab, error)) {
            std::fprintf(stderr, "quill-host: %s\n", error.c_str());
            return false;
        }
        console.Line("evdev: reading \"" + device->Name() + "\" (" + path + ")" +
                     (options.Grab && path != "-" ? ", grabbed" : ""));
        stdinTaken = stdinTaken || path == "-";
        sources.push_back(device.get());
        devices.push_back(std::move(device));
    }
    // A person at the terminal quits with Ctrl+C or Escape twice; its keys are typed as well.
    std::unique_ptr<host::TRawTerminal> raw;
    host::TTerminalSource terminal;
    if (!stdinTaken && host::InputIsTerminal()) {
        raw = std::make_unique<host::TRawTerminal>();
        console.SetRawMode(raw->Active());
        console.Line("Quit: Ctrl+C or Escape twice.");
        sources.push_back(&terminal);
    }
    host::RunEventLoop(bridge, sources);
    console.EndEcho();
    console.SetRawMode(false);
    return true;
}

// A person types at the terminal until Ctrl+C or Escape twice.
void ReadTerminal(user::TKeyboardBridge& bridge, host::TConsole& console) {
    host::TRawTerminal raw;
    console.SetRawMode(raw.Active());
    console.Line("Type a scan (prefix, data, suffix in quick succession, e.g. +++12345+++) or "
                 "any text. Quit: Ctrl+C or Escape twice.");
    host::TTerminalSource terminal;
    std::vector<host::IInputSource*> sources{&terminal};
    host::RunEventLoop(bridge, sources);
    console.EndEcho();
    console.SetRawMode(false);
}

// Longer than the longest time-out a device accepts.
constexpr user::DWORD kFinishLimitMs = 2000;

// Exit statuses: a failure on the way, and a command line that cannot be used.
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The plug-in the command line names, or the one found where an installation or a build puts it;
// false, having said where it looked, when there is none.
bool ChoosePlugin(host::THostOptions& options) {
    if (!options.PluginPath.empty()) return true;
    std::vector<std::string> looked;
    options.PluginPath = host::FindModule("Quill.plu", looked);
    if (!options.PluginPath.empty()) return true;
    std::fprintf(stderr,
                 "quill-host: Quill.plu was not found; looked at %s (name one with --plugin)\n",
                 host::ListLooked(looked).c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    host::THostOptions options;
    std::string error;
    if (!host::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "quill-host: %s\n", error.c_str());
        return kExitUsage;
    }
    if (options.Help) {
        std::fputs(host::HelpText, stdout);
        return EXIT_SUCCESS;
    }
    if (!ChoosePlugin(options)) return kExitFailure;
    if (options.Version) return host::PrintVersion(options.PluginPath);

    host::TConsole console;
    host::THostWindow* window = nullptr; // --gui
    // What reached the application: its characters are echoed (and go into the window's field).
    user::TKeyboardBridge bridge([&console, &window](const user::TApplicationKey& key) {
        if (key.Kind == user::TApplicationKeyKind::Character)
            console.Echo(static_cast<char>(key.Character));
        if (window) window->Deliver(key);
    });
    host::TRecordingParse recording;
    user::TVirtualClock replayClock;
    std::unique_ptr<host::TReplaySession> replay;
    if (!options.ReplayFile.empty()) {
        if (!host::ReadRecording(options.ReplayFile, recording)) return kExitFailure;
        user::SetClock(&replayClock);
        replay = std::make_unique<host::TReplaySession>(console, options.ReplayFile);
    }
    host::TQuillSession session;
    std::uint32_t uiThread = 0;
    if (!host::OpenOnUiThread(session, options.PluginPath, console, uiThread)) return kExitFailure;
    const auto shown = [&window](const host::TScanView& scan) {
        if (window) window->AddScan(scan);
    };
    if (!host::HandOverEventSink(session, uiThread, console, replay.get(), shown))
        return kExitFailure;

    if (!host::CreateDevices(session, options, console)) return kExitFailure;
    host::SwitchOnAll(session, console);
    host::RunCalls(session, options, console);

    host::TWindowHost windowHost(session, bridge, console);
    if (options.Gui) {
        std::string error;
        if (!windowHost.Open(error)) {
            std::fprintf(stderr, "quill-host: %s\n", error.c_str());
            return kExitFailure;
        }
        window = windowHost.Window();
        console.Line("The window is open; closing it quits.");
        window->Run(windowHost, "Quill - checkout");
    } else if (replay) {
        replay->Run(recording.Events, options.SettleMs);
    } else if (!options.EvdevDevices.empty()) {
        if (!ReadDevices(options, bridge, console)) return kExitFailure;
    } else if (options.HasKeys) {
        host::TScriptedKeys keys(options.Keys, options.IntervalMs, options.SettleMs, uiThread,
                                 user::WM_QUIT);
        std::vector<host::IInputSource*> noSources;
        host::RunEventLoop(bridge, noSources);
    } else if (options.Calls.empty() || options.Capture) {
        ReadTerminal(bridge, console);
    }
    // Keys the capture still holds are typed again (or claimed) once before the devices go.
    bridge.Finish(kFinishLimitMs);
    console.EndEcho();
    if (window) host::ReportWindow(window->FieldText(), window->Scans(), console);
    window = nullptr;
    session.Close();
    if (replay) user::SetClock(nullptr);
    console.Line("Bye");
    return EXIT_SUCCESS;
}
