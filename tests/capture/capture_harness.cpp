#include "capture/capture_harness.h"

#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"
#include "support/keyboard_keys.h"

#include <stdexcept>

namespace quill::test {

namespace {
TCaptureHarness* gHarness = nullptr;
} // namespace

TCaptureHarness::TCaptureHarness(ui::TFormBackend* forms)
    : FPreviousClock(user::SetClock(&FClock)) {
    Pump(); // makes the thread's queue
    user::SetFocusThread(user::GetCurrentThreadId());
    Sink.HookThread = user::GetCurrentThreadId();
    List = MakeScannerList(Sink, forms);
    ServeScannerList(List.get());
    // Installed before any device is switched on, so it is called after the capture's hook.
    gHarness = this;
    FLiveHook = user::SetWindowsHookExA(user::WH_KEYBOARD, &TCaptureHarness::LiveKeysHook, nullptr,
                                        user::GetCurrentThreadId());
}

// The first replayed key that reaches the application: the replay has entered its keys, and the
// live keys come in now.
user::LRESULT CALLBACK TCaptureHarness::LiveKeysHook(int code, user::WPARAM key,
                                                     user::LPARAM flags) {
    if (code == user::HC_ACTION && capture::IsReplayedKey(flags) && gHarness)
        gHarness->TypeLiveKeys();
    return user::CallNextHookEx(nullptr, code, key, flags);
}

void TCaptureHarness::TypeLiveKeys() {
    const std::string live = std::move(FLive);
    FLive.clear();
    for (char c : live)
        EnterChar(c);
}

TCaptureHarness::~TCaptureHarness() {
    if (FLiveHook) user::UnhookWindowsHookEx(FLiveHook);
    gHarness = nullptr;
    List.reset();
    ServeScannerList(nullptr);
    Pump();
    user::SetClock(FPreviousClock);
}

capture::TManagerQuill* TCaptureHarness::AddDevice() {
    return static_cast<capture::TManagerQuill*>(List->Add());
}

void TCaptureHarness::Pump() {
    user::MSG msg;
    while (user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE)) {
        user::TranslateMessage(&msg);
        NoteMessage(msg);
        user::DispatchMessageA(&msg);
    }
}

void TCaptureHarness::PressKey(std::uint8_t key) {
    test::KeyboardEvent(key);
    test::KeyboardEvent(key, user::KEYEVENTF_KEYUP);
    Pump();
}

void TCaptureHarness::Key(std::uint8_t key, bool up, bool extended) {
    test::KeyboardEvent(key, (up ? user::KEYEVENTF_KEYUP : 0) |
                                 (extended ? user::KEYEVENTF_EXTENDEDKEY : 0));
    Pump();
}

void TCaptureHarness::TypeChar(char c) {
    EnterChar(c);
    Pump();
}

void TCaptureHarness::EnterChar(char c) {
    const auto stroke = user::CharToKey(c);
    if (!stroke) throw std::runtime_error(std::string("no key types ") + c);
    if (stroke->Shift) test::KeyboardEvent(user::VK_SHIFT);
    if (stroke->Control) test::KeyboardEvent(user::VK_CONTROL);
    test::KeyboardEvent(stroke->Key);
    test::KeyboardEvent(stroke->Key, user::KEYEVENTF_KEYUP);
    if (stroke->Control) test::KeyboardEvent(user::VK_CONTROL, user::KEYEVENTF_KEYUP);
    if (stroke->Shift) test::KeyboardEvent(user::VK_SHIFT, user::KEYEVENTF_KEYUP);
}

void TCaptureHarness::Advance(std::int64_t ms) {
    for (std::int64_t i = 0; i < ms; ++i) {
        FClock.Advance(1);
        Pump();
    }
    Pump();
}

std::vector<std::pair<int, std::string>> TCaptureHarness::Scans() const {
    return ScansOf(Sink, List.get());
}

namespace {

class THarnessTarget final : public TScannerListScript {
  public:
    void TypeChar(char c) override { FHarness.TypeChar(c); }
    void KeyEvent(std::uint8_t key, bool up, bool extended) override {
        FHarness.Key(key, up, extended);
    }
    void TypeDuringNextReplay(const std::string& text) override {
        FHarness.TypeDuringNextReplay(text);
    }
    void Advance(std::int64_t ms) override { FHarness.Advance(ms); }

  private:
    capture::TManagerQuillList& List() const override { return *FHarness.List; }
    const TRecordingSink& Sink() const override { return FHarness.Sink; }
    const TApplicationKeys& Application() const override { return FHarness; }
    TCaptureHarness FHarness;
};

} // namespace

std::string RunCaptureScript(const KeyScript& script) {
    THarnessTarget target;
    return RunKeyScript(script, target);
}

} // namespace quill::test
