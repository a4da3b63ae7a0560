// What the keyboard bridge adds to the capture path per key: a key typed through the bridge
// (an X11 keysym press and release with the toolkit's state, entered, retrieved through the
// scanner capture's hook, translated, delivered to the callback) against the same key through the
// plain input path (keybd_event for each event, then the retrieval, translation and dispatch that
// a host's loop does after each event it receives), with the same switched-on device, in the same
// run. Run it with --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true on a busy
// machine: the two are then measured side by side and the medians compared.
#include "capture/manager/manager_quill_list.h"
#include "platform/user/keyboard_bridge.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "summary_reporter.h"

#include <memory>

namespace {

using namespace quill;

class TSilentSink final : public TEventSupportBase {
  public:
    HRESULT QueryInterface(com::REFIID iid, void** object) override {
        if (iid == IUnknown::Guid || iid == IEventSupport::Guid || iid == IEventSupport2::Guid) {
            *object = static_cast<IEventSupport2*>(this);
            return com::S_OK;
        }
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
    com::ULONG AddRef() override { return 1; }
    com::ULONG Release() override { return 1; }
    HRESULT ExternalEvent(BSTR, BSTR, BSTR, GUID*) override { return com::S_OK; }
    HRESULT CreateValueArray(IDispatch**) override { return com::E_NOTIMPL; }
    HRESULT GetHookThreadId(std::uint32_t* thread) override {
        *thread = user::GetCurrentThreadId();
        return com::S_OK;
    }
};

capture::TManagerQuillList* gList = nullptr;
capture::TManagerQuillList* CurrentList() {
    return gList;
}

// One switched-on scanner device at its defaults, its hook on this thread, which has the focus.
struct TCapture {
    TCapture() {
        user::MSG msg{};
        user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_NOREMOVE);
        previousFocus = user::SetFocusThread(user::GetCurrentThreadId());
        list =
            std::make_unique<capture::TManagerQuillList>(rtl::ItemClassOf<capture::TManagerQuill>);
        list->EventSink = com::ComPtr<IEventSupport2>(&sink);
        gList = list.get();
        capture::SetScannerListAccessor(&CurrentList);
        static_cast<capture::TManagerQuill*>(list->Add())->SetState(1);
    }
    ~TCapture() {
        list.reset();
        gList = nullptr;
        capture::SetScannerListAccessor(nullptr);
        user::SetFocusThread(previousFocus);
    }
    TSilentSink sink;
    std::unique_ptr<capture::TManagerQuillList> list;
    user::DWORD previousFocus = 0;
};

void PlainInputPath(benchmark::State& state) {
    TCapture capture;
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
        user::keybd_event('K', 0, 0, 0);
        pump();
        user::keybd_event('K', 0, user::KEYEVENTF_KEYUP, 0);
        pump();
    }
    if (characters != state.iterations()) state.SkipWithError("a character did not arrive");
    state.SetItemsProcessed(state.iterations());
}

void KeyboardBridge(benchmark::State& state) {
    std::size_t characters = 0;
    TCapture capture;
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
