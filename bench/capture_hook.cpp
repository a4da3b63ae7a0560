// The cost of the scanner capture's keyboard hook per key-down, with 1, 8 and 64 switched-on
// devices, against a hook that only passes keys on, measured in the same run.
#include "capture_focus_setup.h"
#include "keyboard_hook_anchor.h"
#include "summary_reporter.h"
#include "platform/user/clock.h"
#include "platform/user/us_layout.h"

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quill;

using bench::TCaptureSetup;

// Ordinary typing: a key that opens no scan, examined by every device and passed on.
void OrdinaryKey(benchmark::State& state) {
    TCaptureSetup setup(static_cast<int>(state.range(0)));
    if (!setup.list->HookHandle()) state.SkipWithError("no hook");
    for (auto _ : state)
        if (!bench::DeliverKeystroke('K')) state.SkipWithError("a key message did not arrive");
    state.SetItemsProcessed(state.iterations());
}

// A scan's keys: each is held (the timer restarted) until the suffix completes the scan. The
// framing keys need no Shift, so every iteration is one key-down and key-up, as in the anchor.
void ScanKey(benchmark::State& state) {
    TCaptureSetup setup(static_cast<int>(state.range(0)), "[", "]");
    const std::string scan = "[12345678901234567890]";
    std::size_t next = 0;
    for (auto _ : state) {
        // A held key-down is discarded inside retrieval, so only its key-up is retrieved.
        bench::DeliverKeystroke(user::CharToKey(scan[next])->Key);
        next = (next + 1) % scan.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["scans"] = setup.sink.Scans;
}

void Anchor(benchmark::State& state) {
    bench::KeyboardHookAnchor(state);
}

} // namespace

BENCHMARK(Anchor);
BENCHMARK(OrdinaryKey)->Arg(1)->Arg(8)->Arg(64);
BENCHMARK(ScanKey)->Arg(1)->Arg(8)->Arg(64);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    quill::bench::TSummaryReporter r;
    benchmark::RunSpecifiedBenchmarks(&r);
    const double anchor = r.Ns("Anchor");
    struct TRow {
        const char* Kind;
        double Growth;
        double Micros8;
    };
    std::vector<TRow> rows;
    std::printf("\nHook cost per key-down (CPU ns above the passing hook of %.0f ns):\n", anchor);
    for (const char* kind : {"OrdinaryKey", "ScanKey"}) {
        double cost[3];
        const int devices[3] = {1, 8, 64};
        for (int i = 0; i < 3; ++i) {
            const double total = r.Ns(std::string(kind) + "/" + std::to_string(devices[i]));
            cost[i] = total - anchor;
            std::printf("  %-11s %2d devices: %8.0f ns per key (%.2fx the anchor), hook %7.0f ns\n",
                        kind, devices[i], total, total / anchor, cost[i]);
        }
        std::printf("  %-11s growth 64 vs 8 devices: %.2fx (goal at most 9); 8 devices: %.2f us "
                    "(goal at most 1.25)\n",
                    kind, cost[2] / cost[1], cost[1] / 1000.0);
        rows.push_back({kind, cost[2] / cost[1], cost[1] / 1000.0});
    }
    for (const TRow& row : rows) {
        const std::string what = std::string("hook cost per key-down (") + row.Kind + ")";
        quill::bench::PrintMeasure(what + ", 64 against 8 devices", "the same at 8 devices",
                                   row.Growth, quill::bench::AtMost(9));
        quill::bench::PrintMeasure(what + " at 8 devices, in microseconds", "1 microsecond",
                                   row.Micros8, quill::bench::AtMost(1.25));
    }
    return 0;
}
