// Replay of a recorded keyboard device through the whole path: the recording's text parsed, each
// key event mapped to the platform's key and fed at its time on the virtual clock through the
// input path, the scanner list's hook and framing, its time-out timer and its replays, with the
// application pumping. The recording is a scanner at 1 ms per event (EAN-13 with an Enter suffix,
// as real scanners send them) and a person typing between the scans. The goal is at least
// 1,000,000 recorded key events per CPU second; the passing hook's keystroke (two key events) is
// the anchor, measured in the same run.
#include "capture_focus_setup.h"
#include "host/key_event_player.h"
#include "host/recording.h"
#include "keyboard_hook_anchor.h"
#include "summary_reporter.h"

#include "platform/user/clock.h"

#include <cstdio>
#include <string>

namespace {

using namespace quill;

// evtest's text of `scans` scans at 1 ms per event, with a person typing "ok" between them.
std::string MakeRecording(int scans, int& keyEvents) {
    std::string text = "Input driver version is 1.0.1\nInput device name: \"Wedge\"\n"
                       "Testing ... (interrupt to exit)\n";
    long long us = 0;
    keyEvents = 0;
    char line[400];
    auto event = [&](int code, int value) {
        const long long s = 1733600000 + us / 1000000, micro = us % 1000000;
        std::snprintf(line, sizeof line,
                      "Event: time %lld.%06lld, type 4 (EV_MSC), code 4 (MSC_SCAN), value 7001e\n"
                      "Event: time %lld.%06lld, type 1 (EV_KEY), code %d (KEY_X), value %d\n"
                      "Event: time %lld.%06lld, -------------- SYN_REPORT ------------\n",
                      s, micro, s, micro, code, value, s, micro);
        text += line;
        ++keyEvents;
    };
    auto tap = [&](int code, long long gapUs) {
        event(code, 1);
        us += gapUs;
        event(code, 0);
        us += gapUs;
    };
    const int digits[] = {5, 11, 11, 7, 4, 9, 2, 4, 4, 4, 10, 4, 2}; // 4006381333931
    for (int n = 0; n < scans; ++n) {
        for (int code : digits)
            tap(code, 1000);
        tap(28, 1000); // Enter
        us += 300000;
        tap(24, 90000); // "o" and "k", typed by a person
        tap(37, 90000);
        us += 300000;
    }
    return text;
}

void ReplayRecording(benchmark::State& state) {
    user::TVirtualClock clock(1000);
    user::TClock* previous = user::SetClock(&clock);
    {
        bench::TCaptureSetup setup(1, "", "&13");
        setup.list->Scanner(0)->SetParamInt("HookTimeOut", 50);
        int keyEvents = 0;
        const std::string text = MakeRecording(static_cast<int>(state.range(0)), keyEvents);
        std::size_t typed = 0;
        for (auto _ : state) {
            const host::TRecordingParse recording = host::ParseRecording(text);
            host::TKeyEventPlayer player([&](char16_t) { ++typed; }, nullptr);
            for (const host::TKeyEvent& event : recording.Events)
                player.Feed(event);
            player.Settle(1000);
        }
        state.SetItemsProcessed(state.iterations() * keyEvents);
        state.counters["key_events"] = keyEvents;
        state.counters["scans"] = setup.sink.Scans / static_cast<double>(state.iterations());
        state.counters["typed"] = static_cast<double>(typed) / state.iterations();
    }
    user::SetClock(previous);
}

// The text alone, for the share of the parse in the whole.
void ParseRecording(benchmark::State& state) {
    int keyEvents = 0;
    const std::string text = MakeRecording(static_cast<int>(state.range(0)), keyEvents);
    for (auto _ : state)
        benchmark::DoNotOptimize(host::ParseRecording(text));
    state.SetItemsProcessed(state.iterations() * keyEvents);
}

void Anchor(benchmark::State& state) {
    bench::KeyboardHookAnchor(state);
}

} // namespace

BENCHMARK(Anchor);
BENCHMARK(ReplayRecording)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseRecording)->Arg(200)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    quill::bench::TSummaryReporter r;
    benchmark::RunSpecifiedBenchmarks(&r);
    const double anchorNs = r.Ns("Anchor"); // one keystroke: two key events
    const double replayNs = r.Ns("ReplayRecording/200");
    int events = 0;
    MakeRecording(200, events);
    if (anchorNs > 0 && replayNs > 0) {
        const double perEvent = replayNs / events;
        std::printf("\nsummary: replay %.0f ns per recorded key event = %.2f x the passing hook's "
                    "key event (%.0f ns); %.2f million key events per CPU second (goal at least "
                    "1)\n",
                    perEvent, perEvent / (anchorNs / 2), anchorNs / 2, 1e3 / perEvent);
        quill::bench::PrintMeasure("replay of a recording, per recorded key event",
                                   "the passing hook's key event", perEvent / (anchorNs / 2));
        quill::bench::PrintMeasure("recorded key events replayed per CPU second, in millions",
                                   "1 million", 1e3 / perEvent, quill::bench::AtLeast(1));
    }
    return 0;
}
