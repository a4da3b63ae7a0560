#include "host/host_setup.h"

#include "host/empty_input.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/local_time.h"
#include "platform/kernel/named_file_read.h"
#include "platform/user/message_queue.h"

#include <charconv>
#include <cstdio>

namespace quill::host {

using com::OleVariant;

std::string Utf8(std::u16string_view text) {
    return kernel::WideToUtf8(text);
}

std::string Describe(const TCallOutcome& outcome) {
    if (outcome.Failed)
        return "failed, code " + std::to_string(outcome.ErrorCode) + ": " + Utf8(outcome.ErrorText);
    return "result " + DisplayText(outcome.Result);
}

namespace {

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
bool SetParameters(TQuillSession& session, const THostOptions& options, TConsole& console) {
    const int rows = static_cast<int>(options.DeviceParams.size());
    const auto made =
        session.Call(u"CreateComSafeArray", TCallKind::Method, {OleVariant(rows), OleVariant(7)});
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
            LateCall(made.Result.pdispVal, u"SetValue",
                     {OleVariant(row), OleVariant(column), cell});
    }
    const auto set = session.Call(u"SetProps", TCallKind::Method, {made.Result});
    if (set.Failed) {
        console.Line("SetProps: " + Describe(set));
        return false;
    }
    return true;
}

// Opens the settings dialog of the device whose settings document is `settings`, through the
// device's own host interface.
void ShowDialog(TQuillSession& session, const OleVariant& settings, TConsole& console) {
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

int DeviceCount(TQuillSession& session) {
    const auto count = session.Call(u"DevicesQuantity", TCallKind::Read);
    return count.Failed ? 0 : std::stoi("0" + DisplayText(count.Result));
}

} // namespace

bool CreateDevices(TQuillSession& session, const THostOptions& options, TConsole& console) {
    if (!options.SettingsFile.empty()) {
        std::string text, why;
        if (!kernel::ReadNamedFile(options.SettingsFile, kSettingsLimitBytes, text, why)) {
            console.Line("quill-host: cannot read " + options.SettingsFile + ": " + why);
            return false;
        }
        const auto outcome = session.Call(u"SettingDevices", TCallKind::Method,
                                          {OleVariant(kernel::Utf8ToWide(text))});
        console.Line("SettingDevices " + options.SettingsFile + ": " + Describe(outcome));
        if (!outcome.Failed && DeviceCount(session) == 0)
            console.Line("SettingDevices " + options.SettingsFile +
                         ": no device came of it: " + WhyNoDevice(text));
        return !outcome.Failed;
    }
    // A new device with the driver's defaults and its proposed name.
    auto added = session.Call(u"AddDevice", TCallKind::Method, {OleVariant()});
    if (added.Failed) {
        console.Line("AddDevice: " + Describe(added));
        return false;
    }
    const auto count = session.Call(u"DevicesQuantity", TCallKind::Read);
    session.Call(u"ChoiceDevice", TCallKind::Method, {count.Result});
    if (!options.DeviceParams.empty() && !SetParameters(session, options, console)) return false;
    console.Line("AddDevice: device added");
    if (options.Dialog && !added.Args.empty()) ShowDialog(session, added.Args[0], console);
    return true;
}

void SwitchOnAll(TQuillSession& session, TConsole& console) {
    const int devices = DeviceCount(session);
    for (int n = 1; n <= devices; ++n) {
        session.Call(u"ChoiceDevice", TCallKind::Method, {OleVariant(n)});
        const auto name = session.Call(u"DeviceName", TCallKind::Read);
        const auto on = session.Call(u"SwitchOn", TCallKind::Method, {OleVariant(0)});
        console.Line("device " + std::to_string(n) + " \"" + DisplayText(name.Result) +
                     "\": " + (on.Failed ? "SwitchOn " + Describe(on) : "switched on"));
    }
}

void RunCalls(TQuillSession& session, const THostOptions& options, TConsole& console) {
    for (const auto& call : options.Calls) {
        std::vector<OleVariant> args;
        for (const auto& a : call.Args)
            args.push_back(ArgumentValue(a));
        const auto outcome = session.CallByName(kernel::Utf8ToWide(call.Name), args);
        console.Line("call " + call.Name + ": " + Describe(outcome));
        if (!outcome.Failed)
            for (std::size_t i = 0; i < outcome.Args.size(); ++i)
                console.Line("  argument " + std::to_string(i) + ": " +
                             DisplayText(outcome.Args[i]));
    }
}

bool ReadRecording(const std::string& path, TRecordingParse& recording) {
    std::string text, why;
    if (!kernel::ReadNamedFile(path, kRecordingLimitBytes, text, why)) {
        std::fprintf(stderr, "quill-host: cannot read %s: %s\n", path.c_str(), why.c_str());
        return false;
    }
    recording = ParseRecording(text);
    if (!recording.Ok) {
        std::fprintf(stderr, "quill-host: %s%s: %s\n", path.c_str(),
                     recording.ErrorLine ? (":" + std::to_string(recording.ErrorLine)).c_str() : "",
                     recording.Error.c_str());
        return false;
    }
    if (recording.Events.empty()) {
        std::fprintf(stderr, "quill-host: %s: no key events to replay: %s\n", path.c_str(),
                     WhyNoKeyEvents(text, recording).c_str());
        return false;
    }
    return true;
}

bool OpenOnUiThread(TQuillSession& session, const std::string& plugin, TConsole& console,
                    std::uint32_t& uiThread) {
    // The queue exists before anything posts to it.
    user::MSG peek{};
    user::PeekMessageA(&peek, nullptr, 0, 0, user::PM_NOREMOVE);
    uiThread = user::GetCurrentThreadId();
    if (!session.Open(plugin)) {
        std::fprintf(stderr, "quill-host: %s\n", session.Error().c_str());
        return false;
    }
    console.Line("Loaded " + plugin);
    return true;
}

bool HandOverEventSink(TQuillSession& session, std::uint32_t uiThread, TConsole& console,
                       TReplaySession* replay, std::function<void(const TScanView&)> shown) {
    auto* sink = new THostEventSink(
        uiThread, [&console, replay, shown = std::move(shown)](const THostEvent& e) {
            if (replay) return replay->Event(Utf8(e.Source), Utf8(e.Name), Utf8(e.Data));
            console.Line("event: source=" + Utf8(e.Source) + " name=" + Utf8(e.Name) +
                         " data=" + Utf8(e.Data));
            if (shown) shown({TimeOfDay(), Utf8(e.Name), EscapeControls(Utf8(e.Data))});
        });
    const auto handed = session.HandOverEventSink(sink);
    sink->Release(); // the plug-in holds its own reference now
    if (handed.Failed) console.Line("quill-host: the event sink was refused: " + Describe(handed));
    return !handed.Failed;
}

void ReportWindow(std::string_view field, const std::vector<TScanView>& scans, TConsole& console) {
    console.Line("window field: " + EscapeControls(field));
    for (const TScanView& scan : scans)
        console.Line("window scan: " + scan.Device + " " + scan.Data);
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
