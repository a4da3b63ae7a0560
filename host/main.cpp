// quill-host: the reference host. It loads Quill.plu, hands over its event sink, creates a scanner
// device (or loads devices from a settings file), switches the devices on, and feeds its UI
// thread keystrokes from the terminal or from a script while pumping that thread's messages: the
// plug-in's keyboard hook runs there, scans arrive as external events, and the keys that pass
// reach this "application" and are echoed.
#include "host/console.h"
#include "host/empty_input.h"
#include "host/event_loop.h"
#include "host/evdev_source.h"
#include "host/event_sink.h"
#include "host/key_source.h"
#include "host/module_location.h"
#include "host/options.h"
#include "host/plugin_version.h"
#include "host/recording.h"
#include "host/replay_session.h"
#include "host/session.h"
#include "host/window_host.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/files.h"
#include "platform/kernel/named_file_read.h"
#include "platform/user/keyboard_bridge.h"
#include "platform/user/clock.h"
#include "platform/user/key_state.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"

#include <charconv>
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
using com::OleVariant;

namespace {

std::string Utf8(std::u16string_view text) {
    return kernel::WideToUtf8(text);
}

std::string Describe(const host::TCallOutcome& outcome) {
    if (outcome.Failed)
        return "failed, code " + std::to_string(outcome.ErrorCode) + ": " + Utf8(outcome.ErrorText);
    return "result " + host::DisplayText(outcome.Result);
}

OleVariant ArgumentValue(const std::string& text) {
    int number = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec == std::errc() && ptr == text.data() + text.size() && !text.empty())
        return OleVariant(number);
    return OleVariant(kernel::Utf8ToWide(text));
}

// The files a user names are read under the plug-in's file rules: a regular file only (a FIFO
// would hang the host, a link to a device would fill its memory), and no more than a limit far
// above any real one.
constexpr std::size_t kSettingsLimitBytes = std::size_t{64} << 20;
constexpr std::size_t kRecordingLimitBytes = std::size_t{256} << 20;

// Sets the command line's parameters of the current device through a parameter table, as a
// host sets parameters with "SetProps": one row per parameter, name in column 0, value in 4.
bool SetParameters(host::TQuillSession& session, const host::THostOptions& options,
                   host::TConsole& console) {
    const int rows = static_cast<int>(options.DeviceParams.size());
    const auto made = session.Call(u"CreateComSafeArray", host::TCallKind::Method,
                                   {OleVariant(rows), OleVariant(7)});
    if (made.Failed || made.Result.vt != com::VT_DISPATCH) {
        console.Line("CreateComSafeArray: " + Describe(made));
        return false;
    }
    for (int row = 0; row < rows; ++row) {
        const auto& [name, value] = options.DeviceParams[static_cast<std::size_t>(row)];
        const std::pair<int, OleVariant> cells[] = {{0, OleVariant(kernel::Utf8ToWide(name))},
                                                    {1, OleVariant(kernel::Utf8ToWide(name))},
                                                    {2, OleVariant(u"")},
                                                    {3, OleVariant(u"")},
                                                    {4, OleVariant(kernel::Utf8ToWide(value))},
                                                    {5, OleVariant(0)},
                                                    {6, OleVariant(u"")}};
        for (const auto& [column, cell] : cells)
            host::LateCall(made.Result.pdispVal, u"SetValue",
                           {OleVariant(row), OleVariant(column), cell});
    }
    const auto set = session.Call(u"SetProps", host::TCallKind::Method, {made.Result});
    if (set.Failed) {
        console.Line("SetProps: " + Describe(set));
        return false;
    }
    return true;
}

// Opens the settings dialog of the device whose settings document is `settings`, through the
// device's own host interface.
void ShowDialog(host::TQuillSession& session, const OleVariant& settings, host::TConsole& console) {
    IDeviceItem* device = session.FindDevice(settings);
    if (!device) {
        console.Line("The settings dialog: the device was not found");
        return;
    }
    std::int32_t result = -1;
    const HRESULT hr = device->Setup(&result);
    device->Release();
    console.Line(com::FAILED(hr) ? "The settings dialog could not be shown"
                 : result == 0   ? "The settings dialog: accepted"
                                 : "The settings dialog: cancelled");
}

int DeviceCount(host::TQuillSession& session) {
    const auto count = session.Call(u"DevicesQuantity", host::TCallKind::Read);
    return count.Failed ? 0 : std::stoi("0" + host::DisplayText(count.Result));
}

// Creates the devices; false when none could be made.
bool CreateDevices(host::TQuillSession& session, const host::THostOptions& options,
                   host::TConsole& console) {
    if (!options.SettingsFile.empty()) {
        std::string text, why;
        if (!kernel::ReadNamedFile(options.SettingsFile, kSettingsLimitBytes, text, why)) {
            console.Line("quill-host: cannot read " + options.SettingsFile + ": " + why);
            return false;
        }
        const auto outcome = session.Call(u"SettingDevices", host::TCallKind::Method,
                                          {OleVariant(kernel::Utf8ToWide(text))});
        console.Line("SettingDevices " + options.SettingsFile + ": " + Describe(outcome));
        if (!outcome.Failed && DeviceCount(session) == 0)
            console.Line("SettingDevices " + options.SettingsFile +
                         ": no device came of it: " + host::WhyNoDevice(text));
        return !outcome.Failed;
    }
    // A new device with the driver's defaults and its proposed name.
    auto added = session.Call(u"AddDevice", host::TCallKind::Method, {OleVariant()});
    if (added.Failed) {
        console.Line("AddDevice: " + Describe(added));
        return false;
    }
    const auto count = session.Call(u"DevicesQuantity", host::TCallKind::Read);
    session.Call(u"ChoiceDevice", host::TCallKind::Method, {count.Result});
    if (!options.DeviceParams.empty() && !SetParameters(session, options, console)) return false;
    console.Line("AddDevice: device added");
    if (options.Dialog && !added.Args.empty()) ShowDialog(session, added.Args[0], console);
    return true;
}

void SwitchOnAll(host::TQuillSession& session, host::TConsole& console) {
    const int devices = DeviceCount(session);
    for (int n = 1; n <= devices; ++n) {
        session.Call(u"ChoiceDevice", host::TCallKind::Method, {OleVariant(n)});
        const auto name = session.Call(u"DeviceName", host::TCallKind::Read);
        const auto on = session.Call(u"SwitchOn", host::TCallKind::Method, {OleVariant(0)});
        console.Line("device " + std::to_string(n) + " \"" + host::DisplayText(name.Result) +
                     "\": " + (on.Failed ? "SwitchOn " + Describe(on) : "switched on"));
    }
}

void RunCalls(host::TQuillSession& session, const host::THostOptions& options,
              host::TConsole& console) {
    for (const auto& call : options.Calls) {
        std::vector<OleVariant> args;
        for (const auto& a : call.Args)
            args.push_back(ArgumentValue(a));
        const auto outcome = session.CallByName(kernel::Utf8ToWide(call.Name), args);
        console.Line("call " + call.Name + ": " + Describe(outcome));
        if (!outcome.Failed)
            for (std::size_t i = 0; i < outcome.Args.size(); ++i)
                console.Line("  argument " + std::to_string(i) + ": " +
                             host::DisplayText(outcome.Args[i]));
    }
}

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

// Reads and parses a recording whole before anything runs, so that a malformed one feeds nothing;
// false, with the reason on the error stream, when it cannot be replayed.
bool ReadRecording(const std::string& path, host::TRecordingParse& recording) {
    std::string text, why;
    if (!kernel::ReadNamedFile(path, kRecordingLimitBytes, text, why)) {
        std::fprintf(stderr, "quill-host: cannot read %s: %s\n", path.c_str(), why.c_str());
        return false;
    }
    recording = host::ParseRecording(text);
    if (!recording.Ok) {
        std::fprintf(stderr, "quill-host: %s%s: %s\n", path.c_str(),
                     recording.ErrorLine ? (":" + std::to_string(recording.ErrorLine)).c_str() : "",
                     recording.Error.c_str());
        return false;
    }
    if (recording.Events.empty()) {
        std::fprintf(stderr, "quill-host: %s: no key events to replay: %s\n", path.c_str(),
                     host::WhyNoKeyEvents(text, recording).c_str());
        return false;
    }
    return true;
}

// Hands the plug-in an event sink on the UI thread: a replay checks each event against the
// recording; otherwise it is printed and, once the window is open, shown there.
bool HandOverEventSink(host::TQuillSession& session, user::DWORD uiThread, host::TConsole& console,
                       host::TReplaySession* replay, host::THostWindow* const& window) {
    auto* sink = new host::THostEventSink(uiThread, [&console, replay,
                                                     &window](const host::THostEvent& e) {
        if (replay) return replay->Event(Utf8(e.Source), Utf8(e.Name), Utf8(e.Data));
        console.Line("event: source=" + Utf8(e.Source) + " name=" + Utf8(e.Name) +
                     " data=" + Utf8(e.Data));
        if (window)
            window->AddScan({host::TimeOfDay(), Utf8(e.Name), host::EscapeControls(Utf8(e.Data))});
    });
    const auto handed = session.HandOverEventSink(sink);
    sink->Release(); // the plug-in holds its own reference now
    if (handed.Failed) console.Line("quill-host: the event sink was refused: " + Describe(handed));
    return !handed.Failed;
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

// What the window held at the end, for scripts and tests.
void ReportWindow(const host::THostWindow& window, host::TConsole& console) {
    console.Line("window field: " + host::EscapeControls(window.FieldText()));
    for (const host::TScanView& scan : window.Scans())
        console.Line("window scan: " + scan.Device + " " + scan.Data);
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

// --version: the plug-in's version as its version block states it.
int PrintVersion(const std::string& plugin) {
    if (!kernel::RegularFileExists(plugin)) {
        std::fprintf(stderr, "quill-host: there is no plug-in at %s\n", plugin.c_str());
        return kExitFailure;
    }
    const std::string version = host::PluginFileVersion(plugin);
    if (version.empty()) {
        std::fprintf(stderr, "quill-host: %s has no version information\n", plugin.c_str());
        return kExitFailure;
    }
    std::printf("quill-host %s\nplug-in: %s\n", version.c_str(), plugin.c_str());
    return EXIT_SUCCESS;
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
    if (options.Version) return PrintVersion(options.PluginPath);

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
        if (!ReadRecording(options.ReplayFile, recording)) return kExitFailure;
        user::SetClock(&replayClock);
        replay = std::make_unique<host::TReplaySession>(console, options.ReplayFile);
    }
    // The UI thread's queue exists before anything posts to it.
    user::MSG peek{};
    user::PeekMessageA(&peek, nullptr, 0, 0, user::PM_NOREMOVE);
    const user::DWORD uiThread = user::GetCurrentThreadId();

    host::TQuillSession session;
    if (!session.Open(options.PluginPath)) {
        std::fprintf(stderr, "quill-host: %s\n", session.Error().c_str());
        return kExitFailure;
    }
    console.Line("Loaded " + options.PluginPath);
    if (!HandOverEventSink(session, uiThread, console, replay.get(), window)) return kExitFailure;

    if (!CreateDevices(session, options, console)) return kExitFailure;
    SwitchOnAll(session, console);
    RunCalls(session, options, console);

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
    if (window) ReportWindow(*window, console);
    window = nullptr;
    session.Close();
    if (replay) user::SetClock(nullptr);
    console.Line("Bye");
    return EXIT_SUCCESS;
}
