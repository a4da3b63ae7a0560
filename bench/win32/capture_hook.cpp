// The cost of the scanner capture's keyboard hook per key-down on Windows (run under Wine), against
// a hook that only passes keys on, installed the same way (the platform's thread hook on the
// system's) and measured in the same run.
//
// Each iteration enters one key as a keyboard does (key-down and key-up with its scan code, one
// SendInput) and retrieves its messages from the focused window's queue, so the time per
// iteration is the cost of one key-down through the system's input path. Much of that cost lies
// in Wine's server process, which the thread's CPU time does not show: the figures are wall-clock
// time.
#include "../capture_setup.h"
#include "../summary_reporter.h"
#include "platform/user/keyboard_hook.h"
#include "platform/user/us_layout.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

using namespace quill;

user::LRESULT CALLBACK PassingKeyboardHook(int code, user::WPARAM key, user::LPARAM flags) {
    return user::CallNextHookEx(nullptr, code, key, flags);
}

// Wall-clock seconds per iteration by run name: the median of the repetitions (the server's
// round trips vary with what else the machine does).
class TRealTimeReporter final : public benchmark::ConsoleReporter {
  public:
    TRealTimeReporter() : benchmark::ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                Seconds[run.run_name.function_name +
                        (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
    // By the benchmark's name and arguments ("OrdinaryKey/8"); 0 when it did not run.
    double Ns(const std::string& name) const {
        const auto it = Seconds.find(name);
        return it == Seconds.end() ? 0 : it->second * 1e9;
    }
    std::map<std::string, double> Seconds;
};

// A shown window of this thread with the keyboard focus: keys entered with SendInput come here.
class TFocusedWindow {
  public:
    TFocusedWindow() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &::DefWindowProcA;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "QuillBenchFocus";
        ::RegisterClassA(&windowClass);
        FWindow =
            ::CreateWindowExA(WS_EX_TOPMOST, "QuillBenchFocus", "bench", WS_POPUP | WS_VISIBLE, 0,
                              0, 100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
        ::SetForegroundWindow(FWindow);
        ::SetFocus(FWindow);
        const ULONGLONG deadline = ::GetTickCount64() + 2000;
        while (::GetFocus() != FWindow && ::GetTickCount64() < deadline) {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageA(&msg);
            ::Sleep(5);
        }
    }
    bool Ready() const { return FWindow && ::GetFocus() == FWindow; }

  private:
    HWND FWindow = nullptr;
};

// Types `key` once as a keyboard does and retrieves its messages until the key-up (a key-down
// that the hook holds never arrives); false when the key-up did not arrive within a second.
bool DeliverKeystroke(BYTE key) {
    INPUT inputs[2]{};
    for (int i = 0; i < 2; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = key;
        inputs[i].ki.wScan = static_cast<WORD>(::MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
        inputs[i].ki.dwFlags = i ? KEYEVENTF_KEYUP : 0;
    }
    ::SendInput(2, inputs, sizeof(INPUT));
    const ULONGLONG deadline = ::GetTickCount64() + 1000;
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            benchmark::DoNotOptimize(msg);
            if (msg.message == WM_KEYUP && msg.wParam == key) return true;
        }
        if (::GetTickCount64() > deadline) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

void Anchor(benchmark::State& state) {
    const user::HHOOK hook = user::SetWindowsHookExA(WH_KEYBOARD, &PassingKeyboardHook, nullptr,
                                                     user::GetCurrentThreadId());
    if (!hook) state.SkipWithError("the keyboard hook could not be installed");
    for (auto _ : state)
        if (!DeliverKeystroke('K')) {
            state.SkipWithError("a key message did not arrive");
            break;
        }
    if (hook) user::UnhookWindowsHookEx(hook);
    state.SetItemsProcessed(state.iterations());
}

// Ordinary typing: a key that opens no scan, examined by every device and passed on.
void OrdinaryKey(benchmark::State& state) {
    bench::TCaptureList setup(static_cast<int>(state.range(0)));
    if (!setup.list->HookHandle()) state.SkipWithError("no hook");
    for (auto _ : state)
        if (!DeliverKeystroke('K')) {
            state.SkipWithError("a key message did not arrive");
            break;
        }
    state.SetItemsProcessed(state.iterations());
}

// A scan's keys: each is held (the timer restarted) until the suffix completes the scan.
void ScanKey(benchmark::State& state) {
    bench::TCaptureList setup(static_cast<int>(state.range(0)), "[", "]");
    const std::string scan = "[12345678901234567890]";
    std::size_t next = 0;
    for (auto _ : state) {
        if (!DeliverKeystroke(user::CharToKey(scan[next])->Key)) {
            state.SkipWithError("a key message did not arrive");
            break;
        }
        next = (next + 1) % scan.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["scans"] = setup.sink.Scans;
}

} // namespace

// A fixed number of keys per run: each costs a round trip to Wine's server, and the default
// minimum time would type tens of thousands.
BENCHMARK(Anchor)->UseRealTime()->Iterations(1000)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(OrdinaryKey)
    ->UseRealTime()
    ->Iterations(1000)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->Arg(1)
    ->Arg(8);
BENCHMARK(ScanKey)->UseRealTime()->Iterations(1000)->Repetitions(5)->ReportAggregatesOnly()->Arg(8);

int main(int argc, char** argv) {
    TFocusedWindow window;
    if (!window.Ready()) {
        std::fprintf(stderr, "the benchmark's window did not get the keyboard focus\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    TRealTimeReporter r;
    benchmark::RunSpecifiedBenchmarks(&r);
    const double anchor = r.Ns("Anchor");
    std::printf(
        "\nHook cost per key-down under the system's input path (wall-clock ns; the passing "
        "hook: %.0f ns):\n",
        anchor);
    for (const char* run : {"OrdinaryKey/1", "OrdinaryKey/8", "ScanKey/8"}) {
        const double total = r.Ns(run);
        if (!(total > 0) || !(anchor > 0)) continue;
        std::printf("  %-14s %8.0f ns per key, %.2fx the passing hook, hook %+7.0f ns\n", run,
                    total, total / anchor, total - anchor);
        bench::PrintMeasure(std::string("capture hook per key-down under Wine (") + run + ")",
                            "a passing hook installed the same way", total / anchor);
    }
    return 0;
}
