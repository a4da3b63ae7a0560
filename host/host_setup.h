// The reference host's steps that mean the same on every system: the devices made from the
// command line or a settings file and switched on, the calls of --call, the settings dialog of
// --dialog, the event sink handed over, a recording read for --replay, and what the window held
// at the end, all printed in one format so that the same checks read the output of either host.
//
// On the host's UI thread (the session's thread). Each step prints its own failure through the
// console (or, for a recording, on the error stream) and reports it as false.
#pragma once

#include "host/console.h"
#include "host/options.h"
#include "host/recording.h"
#include "host/replay_session.h"
#include "host/session.h"
#include "host/window/host_window.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::host {

std::string Utf8(std::u16string_view text);
// A call's outcome for a message: "result ..." or "failed, code N: text".
std::string Describe(const TCallOutcome& outcome);

// Makes the calling thread's message queue (this is the UI thread: the plug-in's hook and timers
// run there and its keys arrive there), loads the plug-in at `plugin` into `session` and says so;
// false, with the reason on the error stream, when it cannot be loaded. `uiThread` is this thread.
bool OpenOnUiThread(TQuillSession& session, const std::string& plugin, TConsole& console,
                    std::uint32_t& uiThread);

// Hands the plug-in an event sink that names `uiThread` as the hook's thread. A replay checks
// each event against the recording; otherwise each is printed as "event: source=... name=...
// data=..." and passed to `shown` (a window's scan list) when given.
bool HandOverEventSink(TQuillSession& session, std::uint32_t uiThread, TConsole& console,
                       TReplaySession* replay, std::function<void(const TScanView&)> shown);

// Makes the devices (from --settings, or one with the driver's defaults and the command line's
// parameters, its dialog shown for --dialog); false when none could be made.
bool CreateDevices(TQuillSession& session, const THostOptions& options, TConsole& console);
void SwitchOnAll(TQuillSession& session, TConsole& console);
void RunCalls(TQuillSession& session, const THostOptions& options, TConsole& console);

// Reads and parses a recording whole before anything runs, so that a malformed one feeds nothing;
// false, with the reason on the error stream, when it cannot be replayed.
bool ReadRecording(const std::string& path, TRecordingParse& recording);

// What the window held at the end, for scripts and tests: "window field: ..." and one
// "window scan: DEVICE DATA" per scan.
void ReportWindow(std::string_view field, const std::vector<TScanView>& scans, TConsole& console);

// The local time of day with milliseconds, as the scan list shows it.
std::string TimeOfDay();

} // namespace quill::host
