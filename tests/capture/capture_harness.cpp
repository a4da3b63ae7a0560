#include "capture/capture_harness.h"

#include "exchange/valuearray/value_array.h"
#include "platform/kernel/codepage.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"

#include <map>
#include <sstream>
#include <stdexcept>

namespace quill::test {

using namespace com;

namespace {
capture::TManagerQuillList* gList = nullptr;
capture::TManagerQuillList* CurrentList() { return gList; }
} // namespace

HRESULT TRecordingSink::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IUnknown::Guid || iid == IEventSupport::Guid || iid == IEventSupport2::Guid) {
        *object = static_cast<IEventSupport2*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT TRecordingSink::ExternalEvent(BSTR source, BSTR event, BSTR data, GUID* device) {
    Events.push_back({TextFromBStr(source), TextFromBStr(event), TextFromBStr(data),
                      device ? *device : GUID_NULL});
    if (OnEvent) OnEvent();
    return S_OK;
}

HRESULT TRecordingSink::CreateValueArray(IDispatch** array) {
    *array = static_cast<IDispatch*>(exchange::CreateValueArray().Detach());
    return S_OK;
}

HRESULT TRecordingSink::GetHookThreadId(std::uint32_t* threadId) {
    *threadId = HookThread;
    return S_OK;
}

TCaptureHarness::TCaptureHarness() : FPreviousClock(user::SetClock(&FClock)) {
    Pump(); // makes the thread's queue
    user::SetFocusThread(user::GetCurrentThreadId());
    Sink.HookThread = user::GetCurrentThreadId();
    List = std::make_unique<capture::TManagerQuillList>(rtl::ItemClassOf<capture::TManagerQuill>);
    List->EventSink = ComPtr<IEventSupport2>(&Sink);
    gList = List.get();
    capture::SetScannerListAccessor(&CurrentList);
}

TCaptureHarness::~TCaptureHarness() {
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
        if (msg.message == user::WM_KEYDOWN || msg.message == user::WM_SYSKEYDOWN)
            AppKeyDowns.push_back(static_cast<std::uint8_t>(msg.wParam));
        user::DispatchMessageA(&msg);
    }
}

void TCaptureHarness::PressKey(std::uint8_t key) {
    user::keybd_event(key, 0, 0, 0);
    user::keybd_event(key, 0, user::KEYEVENTF_KEYUP, 0);
    Pump();
}

void TCaptureHarness::TypeChar(char c) {
    const auto stroke = user::CharToKey(c);
    if (!stroke) throw std::runtime_error(std::string("no key types ") + c);
    if (stroke->Shift) user::keybd_event(user::VK_SHIFT, 0, 0, 0);
    if (stroke->Control) user::keybd_event(user::VK_CONTROL, 0, 0, 0);
    user::keybd_event(stroke->Key, 0, 0, 0);
    user::keybd_event(stroke->Key, 0, user::KEYEVENTF_KEYUP, 0);
    if (stroke->Control) user::keybd_event(user::VK_CONTROL, 0, user::KEYEVENTF_KEYUP, 0);
    if (stroke->Shift) user::keybd_event(user::VK_SHIFT, 0, user::KEYEVENTF_KEYUP, 0);
    Pump();
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

void ApplySetting(capture::TManagerQuill& d, const std::string& word, int& state) {
    const auto eq = word.find('=');
    if (word == "on") { state = 1; return; }
    if (word == "off") { state = 0; return; }
    if (eq == std::string::npos) throw std::runtime_error("bad setting " + word);
    const std::string key = word.substr(0, eq), value = word.substr(eq + 1);
    static const std::map<std::string, std::string> names = {
        {"pref", "HookPref"}, {"post", "HookPost"}, {"timeout", "HookTimeOut"},
        {"interchar", "UseInterCharInterval"}, {"minlen", "MinDataLen"}};
    auto it = names.find(key);
    if (it == names.end()) throw std::runtime_error("unknown setting " + key);
    d.SetParamStr(it->second, value);
}

const std::map<std::string, std::uint8_t> kNamedKeys = {
    {"LEFT", user::VK_LEFT}, {"RIGHT", user::VK_RIGHT}, {"F1", user::VK_F1},
    {"ENTER", user::VK_RETURN}, {"TAB", user::VK_TAB}};

} // namespace

std::string RunCaptureScript(const KeyScript& script) {
    TCaptureHarness h;
    std::vector<std::pair<int, std::string>> expectedScans;
    std::optional<std::string> expectedApp;
    for (const auto& line : script.Lines) {
        const auto& w = line.Words;
        const std::string at = script.Name + ":" + std::to_string(line.Number) + ": ";
        try {
            if (w[0] == "device" || (w[0] == "set" && w.size() >= 3)) {
                capture::TManagerQuill* d = w[0] == "device"
                                                ? h.AddDevice()
                                                : h.List->Scanner(std::stoi(w[1]));
                int state = d->GetState();
                for (std::size_t i = w[0] == "device" ? 1 : 2; i < w.size(); ++i)
                    ApplySetting(*d, w[i], state);
                d->SetState(0);
                d->SetState(state);
            } else if (w[0] == "type" && w.size() >= 2) {
                const std::int64_t every = (w.size() == 4 && w[2] == "every") ? std::stoll(w[3]) : 0;
                for (char c : w[1]) {
                    h.TypeChar(c);
                    h.Advance(every);
                }
            } else if (w[0] == "key" && w.size() == 2) {
                h.PressKey(kNamedKeys.at(w[1]));
            } else if (w[0] == "wait" && w.size() == 2) {
                h.Advance(std::stoll(w[1]));
            } else if (w[0] == "expect" && w.size() == 4 && w[1] == "scan") {
                expectedScans.emplace_back(std::stoi(w[2]), w[3]);
            } else if (w[0] == "expect" && w.size() == 3 && w[1] == "app") {
                expectedApp = w[2];
            } else {
                return at + "unknown command";
            }
        } catch (const std::exception& e) {
            return at + e.what();
        }
    }
    std::ostringstream problems;
    const auto scans = h.Scans();
    if (scans != expectedScans) {
        problems << "scans were:";
        for (const auto& [d, data] : scans) problems << " [" << d << " \"" << data << "\"]";
        problems << "; expected:";
        for (const auto& [d, data] : expectedScans) problems << " [" << d << " \"" << data << "\"]";
        problems << "\n";
    }
    if (expectedApp && h.App != *expectedApp)
        problems << "application got \"" << h.App << "\", expected \"" << *expectedApp << "\"\n";
    return problems.str();
}

} // namespace quill::test
