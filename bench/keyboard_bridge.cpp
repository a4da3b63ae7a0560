// What the keyboard bridge adds to the capture path per key: a key typed through the bridge
// (an X11 keysym press and release with the toolkit's state, entered, retrieved through the
// scanner capture's hook, translated, delivered to the callback) against the same key through the
// plain input path (keybd_event for each event, then the retrieval, translation and dispatch that
// a host's loop does after each event it receives), with the same switched-on device, in the same
// run. Run it with --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true on a busy
// machine: the two are then measured side by side and the medians compared.
#include "capture_focus_setup.h"
#include "platform/user/keyboard_bridge.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "summary_reporter.h"

#include <memory>

namespace {

using namespace quill;

void PlainInputPath(benchmark::State& state) {
    bench::TCaptureSetup capture(1); // one switched-on device at its defaults
    std::size_t characters = 0;
    auto pump = [&characters] {
        user::MSG msg{};
        while (user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE)) {
            if (msg.message == user::WM_CHAR) ++characters;
            user::TranslateMessage(&msg);
            user::DispatchMessageA(&msg);
        }
    };
    for (auto _ : state) {
        user::keybd_event('K', 0x25, 0, 0); // with K's scan code, as a keyboard types it
        pump();
        user::keybd_event('K', 0x25, user::KEYEVENTF_KEYUP, 0);
        pump();
    }
    if (characters != state.iterations()) state.SkipWithError("a character did not arrive");
    state.SetItemsProcessed(state.iterations());
}

void KeyboardBridge(benchmark::State& state) {
    std::size_t characters = 0;
    bench::TCaptureSetup capture(1); // one switched-on device at its defaults
    user::TKeyboardBridge bridge([&characters](const user::TApplicationKey& key) {
        if (key.Kind == user::TApplicationKeyKind::Character) ++characters;
    });
    user::TToolkitKeyEvent press;
    press.Code = 'k';
    press.HasState = true;
    user::TToolkitKeyEvent release = press;
    release.Down = false;
    for (auto _ : state) {
        bridge.KeyEvent(press);
        bridge.KeyEvent(release);
    }
    if (characters != state.iterations()) state.SkipWithError("a character did not arrive");
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(PlainInputPath);
BENCHMARK(KeyboardBridge);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    quill::bench::TSummaryReporter r;
    benchmark::RunSpecifiedBenchmarks(&r);
    const double plain = r.Ns("PlainInputPath");
    const double bridged = r.Ns("KeyboardBridge");
    if (plain > 0 && bridged > 0)
        std::printf("summary: KeyboardBridge %.0f ns per key = %.2f x PlainInputPath (%.0f ns); "
                    "the bridge adds %.0f ns per key (goal at most 500)\n",
                    bridged, bridged / plain, plain, bridged - plain);
    return 0;
}
