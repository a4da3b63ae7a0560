// Keystroke delivery through message retrieval: with a hook that only passes keys on (the anchor
// the capture's hook is compared with) and, for scale, with no hook at all.
#include "keyboard_hook_anchor.h"

namespace {

void KeyboardHookAnchor(benchmark::State& state) {
    quill::bench::KeyboardHookAnchor(state);
}

void KeystrokeWithoutHook(benchmark::State& state) {
    quill::bench::MeasureKeystrokes(state, nullptr);
}

} // namespace

BENCHMARK(KeyboardHookAnchor);
BENCHMARK(KeystrokeWithoutHook);
BENCHMARK_MAIN();
