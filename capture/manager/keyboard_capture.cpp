// The keyboard hook of the scanner list: installing and removing it, examining each key-down,
// raising completed scans to the host and typing unclaimed keys again.
#include "capture/manager/manager_quill_list.h"

#include "platform/kernel/codepage.h"
#include "platform/user/clock.h"
#include "platform/user/key_state.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"

namespace quill::capture {

using namespace com;

void TManagerQuillList::InstallHook() {
    user::HHOOK hook = nullptr;
    if (EventSink) {
        std::uint32_t thread = 0;
        if (SUCCEEDED(EventSink->GetHookThreadId(&thread)))
            hook = user::SetWindowsHookExA(user::WH_KEYBOARD, &TManagerQuillList::KeyboardHookProc,
                                           nullptr, thread);
    }
    FHookHandle = hook;
    FFramer.SetCapturing(true);
}

void TManagerQuillList::RemoveHook() {
    FFramer.SetCapturing(false);
    if (FHookHandle) user::UnhookWindowsHookEx(FHookHandle);
    FHookHandle = nullptr;
}

user::LRESULT TManagerQuillList::KeyboardHookProc(int code, user::WPARAM key, user::LPARAM flags) {
    if (code == user::HC_ACTION) {
        TManagerQuillList* list = ScannerList();
        // Keys the capture typed itself pass unexamined: examining them again would hold a lone
        // prefix character for ever.
        if (list && user::GetMessageExtraInfo() != ReplayMarker) {
            // A host thread may be changing the devices right now: wait for it to finish.
            const auto guard = list->Use();
            try {
                if (list->FCapturing() && list->Examine(key) == KeyDecision::Hold) return 2;
            } catch (...) {
                // A failure while examining a key never swallows it.
            }
        }
    }
    return user::CallNextHookEx(nullptr, code, key, flags);
}

KeyDecision TManagerQuillList::Examine(user::WPARAM wParam) {
    const bool shift = user::GetKeyState(user::VK_SHIFT) < 0;
    const bool control = user::GetKeyState(user::VK_CONTROL) < 0;
    const bool alt = user::GetKeyState(user::VK_MENU) < 0;
    const auto key = static_cast<std::uint16_t>(wParam & 0xFFFF);
    const bool down = user::GetKeyState(key) < 0;
    if (!down || key == user::VK_SHIFT || key == user::VK_CONTROL || key == user::VK_MENU)
        return KeyDecision::Pass;
    user::BYTE state[256];
    user::GetKeyboardState(state);
    user::WORD output[2] = {0, 0};
    user::ToAsciiEx(key, 0, state, output, 0, ConversionLayout());
    KeyDown down_{key, static_cast<char>(output[0] & 0xFF), shift, control, alt};
    return FFramer.OnKeyDown(down_);
}

bool TManagerQuillList::RaiseScan(int deviceIndex, const std::string& data) {
    TManagerQuill* device = Scanner(deviceIndex);
    ComPtr<IEventSupport2> sink = device->EventSink;
    if (!sink) return true; // a device without an event sink drops its scan
    GUID guid = device->Guid();
    BStr source(u"Сканер");
    BStr event(kernel::AnsiToWide(device->Identifier()));
    BStr text(kernel::AnsiToWide(data));
    const std::shared_ptr<bool> alive = FAlive;
    sink->ExternalEvent(source.Get(), event.Get(), text.Get(), &guid);
    return *alive;
}

void TManagerQuillList::ReplayKeys(const std::vector<HeldKey>& keys) {
    struct Modifier {
        bool HeldKey::*Flag;
        user::BYTE Key;
    };
    static constexpr Modifier kModifiers[] = {{&HeldKey::Shift, user::VK_SHIFT},
                                              {&HeldKey::Control, user::VK_CONTROL},
                                              {&HeldKey::Alt, user::VK_MENU}};
    auto type = [](user::BYTE key, bool up) {
        user::keybd_event(key, 0, up ? user::KEYEVENTF_KEYUP : 0, ReplayMarker);
    };
    for (const HeldKey& held : keys) {
        bool wasDown[3];
        for (int m = 0; m < 3; ++m)
            wasDown[m] = (user::GetKeyState(kModifiers[m].Key) & 0x80) != 0;
        for (const auto& m : kModifiers)
            if (held.*m.Flag) type(m.Key, false);
        type(static_cast<user::BYTE>(held.Key & 0xFF), false);
        type(static_cast<user::BYTE>(held.Key & 0xFF), true);
        for (const auto& m : kModifiers)
            if (held.*m.Flag) type(m.Key, true);
        // A modifier the user is holding stays down after the replay.
        for (int m = 0; m < 3; ++m)
            if (wasDown[m]) type(kModifiers[m].Key, false);
        user::Sleep(2);
    }
}

} // namespace quill::capture
