// quill-host.exe: the reference host on Windows. It loads Quill.plu (beside it unless --plugin
// names another), hands over its event sink, creates the devices from the defaults or a settings
// file, switches them on and opens its window: the plug-in's keyboard hook runs on this thread,
// where the window's field receives the keys that pass, and scans arrive as external events.
// --keys and --replay type into the window through the system's input on the real clock. Events
// and typed text are printed in the same format as the Linux host's.
#include "host/console.h"
#include "host/device_views.h"
#include "host/host_setup.h"
#include "host/options.h"
#include "host/plugin_version.h"
#include "host/recording.h"
#include "host/replay_session.h"
#include "host/scripted_keys.h"
#include "host/session.h"
#include "host/win32/host_window.h"
#include "platform/kernel/console.h"
#include "platform/kernel/module.h"
#include "platform/user/message_queue.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace quill;

namespace {

// Exit statuses: a failure on the way, and a command line that cannot be used.
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// How long the window stays up after it was closed, beyond the devices' longest time-out, so that
// a key the capture still holds reaches the field before it is read: the timer's message waits
// behind whatever a busy machine has queued.
constexpr unsigned kHeldKeyMarginMs = 300;

std::string PluginBesideProgram() {
    const std::string program = kernel::ProgramFileName();
    const std::size_t slash = program.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : program.substr(0, slash + 1)) +
           "Quill.plu";
}

// What only a Linux host can do; refused rather than ignored, so that a script written for Linux
// does not seem to run.
bool RefuseLinuxOnly(const host::THostOptions& options) {
    if (options.EvdevDevices.empty() && !options.Grab) return false;
    std::fputs("quill-host: --evdev and --grab read Linux input devices; on Windows the keys come "
               "from the system's input\n",
               stderr);
    return true;
}

unsigned LongestTimeout(host::TQuillSession& session) {
    int longest = 0;
    for (const host::TDeviceView& device : host::ReadDeviceViews(session))
        longest = std::max(longest, device.TimeoutMs);
    return static_cast<unsigned>(longest);
}

} // namespace

int main(int argc, char** argv) {
    // Lines end in LF as on Linux, so that the same checks read the output of either host (the
    // C run-time would write CR LF for each LF); a console shows them alike.
    kernel::WriteLineEndsAsGiven();
    host::THostOptions options;
    options.PluginPath = PluginBesideProgram();
    std::string error;
    if (!host::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "quill-host: %s\n", error.c_str());
        return kExitUsage;
    }
    if (options.Help) {
        std::fputs(host::HelpText, stdout);
        std::fputs(
            "\nOn Windows the host always opens its window (--gui changes nothing) and loads the\n"
            "Quill.plu beside quill-host.exe; --evdev and --grab are Linux's. --keys and\n"
            "--replay type into the window through the system's input, on the real clock. Closing\n"
            "the window quits.\n",
            stdout);
        return EXIT_SUCCESS;
    }
    if (options.Version) return host::PrintVersion(options.PluginPath);
    if (RefuseLinuxOnly(options)) return kExitUsage;

    host::TConsole console;
    host::TRecordingParse recording;
    std::unique_ptr<host::TReplaySession> replay;
    if (!options.ReplayFile.empty()) {
        if (!host::ReadRecording(options.ReplayFile, recording)) return kExitFailure;
        replay = std::make_unique<host::TReplaySession>(console, options.ReplayFile);
    }
    host::TQuillSession session;
    std::uint32_t uiThread = 0;
    if (!host::OpenOnUiThread(session, options.PluginPath, console, uiThread)) return kExitFailure;
    host::TWin32HostWindow window;
    const auto shown = [&window](const host::TScanView& scan) { window.AddScan(scan); };
    if (!host::HandOverEventSink(session, uiThread, console, replay.get(), shown))
        return kExitFailure;
    if (!host::CreateDevices(session, options, console)) return kExitFailure;
    host::SwitchOnAll(session, console);
    host::RunCalls(session, options, console);

    // As on Linux, --call alone runs the calls and quits.
    const bool interactive = replay || options.HasKeys || options.Calls.empty() || options.Capture;
    if (interactive) {
        host::THostWindowCalls calls;
        calls.Devices = [&session] { return host::ReadDeviceViews(session); };
        calls.OpenSettings = [&session, &console](std::size_t index) {
            const int result = host::OpenDeviceSettings(session, index);
            console.Line(result == 0 ? "The settings dialog: accepted"
                                     : "The settings dialog: cancelled");
        };
        // During a replay its own lines report the text.
        if (!replay) calls.Typed = [&console](char16_t c) { console.Echo(static_cast<char>(c)); };
        if (!window.Open("Quill - checkout", calls, error)) {
            std::fprintf(stderr, "quill-host: %s\n", error.c_str());
            return kExitFailure;
        }
        console.Line("The window is open; closing it quits.");
        if (replay) {
            replay->Run(recording.Events, options.SettleMs);
        } else if (options.HasKeys) {
            host::TScriptedKeys keys(options.Keys, options.IntervalMs, options.SettleMs, uiThread,
                                     user::WM_QUIT);
            window.Run();
        } else {
            window.Run();
        }
        // Keys the capture still holds are typed again (or claimed) before the field is read.
        if (!replay) window.Settle(LongestTimeout(session) + kHeldKeyMarginMs);
        console.EndEcho();
        host::ReportWindow(window.FieldText(), window.Scans(), console);
    }
    session.Close();
    console.Line("Bye");
    return EXIT_SUCCESS;
}
