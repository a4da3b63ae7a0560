#include "capture/capture_harness.h"

#include "exchange/valuearray/value_array_class.h"
#include "platform/kernel/codepage.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"
#include "support/keyboard_keys.h"

#include <stdexcept>

namespace quill::test {

using namespace com;

namespace {
capture::TManagerQuillList* gList = nullptr;
TCaptureHarness* gHarness = nullptr;
capture::TManagerQuillList* CurrentList() {
    return gList;
}
} // namespace

HRESULT STDMETHODCALLTYPE TRecordingSink::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IUnknown::Guid || iid == IEventSupport::Guid || iid == IEventSupport2::Guid) {
        *object = static_cast<IEventSupport2*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE TRecordingSink::ExternalEvent(BSTR source, BSTR event, BSTR data,
                                                        GUID* device) {
    Events.push_back({TextFromBStr(source), TextFromBStr(event), TextFromBStr(data),
                      device ? *device : GUID_NULL});
    if (OnEvent) OnEvent();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TRecordingSink::CreateValueArray(IDispatch** array) {
    *array = static_cast<IDispatch*>(exchange::CreateValueArray().Detach());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TRecordingSink::GetHookThreadId(std::uint32_t* threadId) {
    *threadId = HookThread;
    return S_OK;
}

TCaptureHarness::TCaptureHarness(ui::TFormBackend* forms)
    : FPreviousClock(user::SetClock(&FClock)) {
    Pump(); // makes the thread's queue
    user::SetFocusThread(user::GetCurrentThreadId());
    Sink.HookThread = user::GetCurrentThreadId();
    List = std::make_unique<capture::TManagerQuillList>(rtl::ItemClassOf<capture::TManagerQuill>,
                                                        forms);
    List->EventSink = ComPtr<IEventSupport2>(&Sink);
    gList = List.get();
    capture::SetScannerListAccessor(&CurrentList);
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
    gList = nullptr;
    capture::SetScannerListAccessor(nullptr);
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
        if (msg.message == user::WM_CHAR) App.push_back(static_cast<char>(msg.wParam));
        if (msg.message == user::WM_KEYDOWN || msg.message == user::WM_SYSKEYDOWN) {
            AppKeyDowns.push_back(static_cast<std::uint8_t>(msg.wParam));
            AppKeyDownFlags.push_back(msg.lParam);
            // An auto-repeated Alt neither opens nor closes a tap; any other key closes it.
            const bool repeat = (static_cast<std::uint32_t>(msg.lParam) >> 30) & 1;
            if (msg.wParam != user::VK_MENU)
                FAltTapOpen = false;
            else if (!repeat)
                FAltTapOpen = true;
        }
        if ((msg.message == user::WM_KEYUP || msg.message == user::WM_SYSKEYUP) &&
            msg.wParam == user::VK_MENU) {
            if (FAltTapOpen) ++LoneAltTaps;
            FAltTapOpen = false;
        }
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
    std::vector<std::pair<int, std::string>> scans;
    for (const auto& e : Sink.Events) {
        const registry::TDeviceItem* device = List ? List->FindByGuid(e.Device) : nullptr;
        scans.emplace_back(device ? device->Index() : -1, kernel::WideToAnsi(e.Data));
    }
    return scans;
}

namespace {

class THarnessTarget final : public IKeyScriptTarget {
  public:
    void AddDevice(const ScriptDeviceSettings& settings) override {
        Apply(*FHarness.AddDevice(), settings);
    }
    void SetDevice(int index, const ScriptDeviceSettings& settings) override {
        Apply(*FHarness.List->Scanner(index), settings);
    }
    void TypeChar(char c) override { FHarness.TypeChar(c); }
    void KeyEvent(std::uint8_t key, bool up, bool extended) override {
        FHarness.Key(key, up, extended);
    }
    void TypeDuringNextReplay(const std::string& text) override {
        FHarness.TypeDuringNextReplay(text);
    }
    void Advance(std::int64_t ms) override { FHarness.Advance(ms); }
    std::vector<std::pair<int, std::string>> RaisedScans() const override {
        return FHarness.Scans();
    }
    std::string ApplicationText() const override { return FHarness.App; }
    std::optional<int> LoneAltTaps() const override { return FHarness.LoneAltTaps; }

  private:
    // Settings are parameters of the device; the mode is taken when it is switched on, so a
    // device whose settings change is switched off and on again.
    static void Apply(capture::TManagerQuill& d, const ScriptDeviceSettings& settings) {
        if (settings.Pref) d.SetParamStr("HookPref", *settings.Pref);
        if (settings.Post) d.SetParamStr("HookPost", *settings.Post);
        if (settings.TimeOut) d.SetParamStr("HookTimeOut", *settings.TimeOut);
        if (settings.InterChar) d.SetParamStr("UseInterCharInterval", *settings.InterChar);
        if (settings.MinLen) d.SetParamStr("MinDataLen", *settings.MinLen);
        const int state = settings.On ? (*settings.On ? 1 : 0) : d.GetState();
        d.SetState(0);
        d.SetState(state);
    }
    TCaptureHarness FHarness;
};

} // namespace

std::string RunCaptureScript(const KeyScript& script) {
    THarnessTarget target;
    return RunKeyScript(script, target);
}

} // namespace quill::test
