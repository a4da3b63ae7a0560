// End to end through the built plug-in on the virtual clock: 1,000 scans of 20 characters typed
// at 1 ms per key, each after a word of ordinary typing, through dlopen, the call entry, the
// devices, the keyboard hook and the host's event sink. Every iteration checks that each scan
// arrived once with its data and every ordinary key reached the application once. Reports keys per
// second of CPU time and the cost per key against the passing hook (the anchor) of the same run.
#include "keyboard_hook_anchor.h"
#include "summary_reporter.h"
#include "tests/e2e/plugin_harness.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>

namespace {

constexpr int kScans = 1000;
const std::string kWord = "type ";

std::string ScanData(int i) {
    std::string data = std::to_string(10000000 + i);
    data += "ABCDEFGHIJKLMNOPQRST";
    return data.substr(0, 20);
}

std::size_t KeysPerRound() {
    return static_cast<std::size_t>(kScans) * (kWord.size() + 3 + 20 + 3);
}

void EndToEnd(benchmark::State& state) {
    quill::test::TPluginHarness h;
    h.AddScanner();
    std::string expectedApp;
    for (int i = 0; i < kScans; ++i)
        expectedApp += kWord;
    for (auto _ : state) {
        h.Sink.Events.clear();
        h.App.clear();
        for (int i = 0; i < kScans; ++i) {
            h.TypeText(kWord, 1);
            h.TypeText("+++" + ScanData(i) + "+++", 1);
        }
        h.Advance(200);
        state.PauseTiming();
        bool ok = h.Sink.Events.size() == static_cast<std::size_t>(kScans) && h.App == expectedApp;
        for (int i = 0; ok && i < kScans; ++i)
            ok = h.Sink.Events[static_cast<std::size_t>(i)].Data ==
                 quill::kernel::Utf8ToWide(ScanData(i));
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("a scan or a key was lost, doubled or corrupted");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * KeysPerRound()));
}

void Anchor(benchmark::State& state) {
    quill::bench::KeyboardHookAnchor(state);
}

} // namespace

BENCHMARK(Anchor);
BENCHMARK(EndToEnd)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    quill::bench::TSummaryReporter r;
    benchmark::RunSpecifiedBenchmarks(&r);
    const double anchor = r.Ns("Anchor");
    const double round =
        r.Ns("EndToEnd/real_time") > 0 ? r.Ns("EndToEnd/real_time") : r.Ns("EndToEnd");
    if (anchor <= 0 || round <= 0) return 1;
    const double perKey = round / static_cast<double>(KeysPerRound());
    std::printf("\nEnd to end: %d scans of 20 characters and %zu keys per round\n", kScans,
                KeysPerRound());
    std::printf("  %.0f CPU ns per key, %.0f keys per CPU second\n", perKey, 1e9 / perKey);
    std::printf("  passing hook alone: %.0f CPU ns per key; end to end is %.2fx that\n", anchor,
                perKey / anchor);
    quill::bench::PrintMeasure("end to end per key (1,000 scans among ordinary typing)",
                               "the passing hook per key", perKey / anchor);
    return 0;
}
