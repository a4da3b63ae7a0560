// The keyboard hook of the scanner list: installing and removing it, examining each key-down,
// raising completed scans to the host and typing unclaimed keys again.
#include "capture/manager/manager_quill_list.h"

#include "platform/kernel/codepage.h"
#include "platform/user/alt_code.h"
#include "platform/user/clock.h"
#include "platform/user/key_state.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"

#include <array>
#include <iterator>

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
                if (list->FCapturing() && list->Examine(key, flags) == KeyDecision::Hold) return 2;
            } catch (...) {
                // A failure while examining a key never swallows it.
            }
        }
    }
    return user::CallNextHookEx(nullptr, code, key, flags);
}

namespace {

bool IsModifier(std::uint16_t key) {
    return key == user::VK_SHIFT || key == user::VK_CONTROL || key == user::VK_MENU;
}

// A lock key toggles its light on each press: held and replayed it would toggle twice.
bool IsLockKey(std::uint16_t key) {
    return key == user::VK_CAPITAL || key == user::VK_NUMLOCK || key == user::VK_SCROLL;
}

bool Down(int key) {
    return user::GetKeyState(key) < 0;
}

// The right-hand key of a modifier is down and the left-hand one is not.
bool RightOnly(int left, int right) {
    return Down(right) && !Down(left);
}

// The same two questions of a copy of the thread's key state, taken once for all of a key's
// questions: nothing changes that state while the hook examines the key.
struct TKeyboardSnapshot {
    TKeyboardSnapshot() { user::GetKeyboardState(State); }
    bool Down(int key) const { return (State[key & 0xFF] & 0x80) != 0; }
    bool RightOnly(int left, int right) const { return Down(right) && !Down(left); }
    user::BYTE State[256];
};

} // namespace

KeyDecision TManagerQuillList::Examine(user::WPARAM wParam, user::LPARAM lParam) {
    const auto key = static_cast<std::uint16_t>(wParam & 0xFFFF);
    const auto flags = static_cast<std::uint32_t>(lParam);
    const bool released = (flags >> 31) & 1;
    const TKeyboardSnapshot keyboard;
    KeyDown down;
    down.Shift = keyboard.Down(user::VK_SHIFT);
    down.Control = keyboard.Down(user::VK_CONTROL);
    down.Alt = keyboard.Down(user::VK_MENU);
    if (released || (key > 0xFF || !keyboard.Down(key))) {
        // Key-ups always pass; the release of Alt ends an Alt code, whose character is judged now.
        if (key != user::VK_MENU || FAltCode.Digits().empty()) return KeyDecision::Pass;
        return ExamineAltCode(FAltCode.AltUp(), down);
    }
    if (IsModifier(key) || IsLockKey(key)) return KeyDecision::Pass;
    const bool altDigit =
        down.Alt && !down.Control && user::IsKeypadDigit(static_cast<std::uint8_t>(key));
    if (!altDigit && !FAltCode.Digits().empty()) ReplayAbandonedAltCode(down);
    if (FAltCode.KeyDown(static_cast<std::uint8_t>(key), down.Alt, down.Control)) {
        // A digit of an Alt code: held until Alt is released and the character is known.
        if (FAltCode.Digits().size() == 1)
            FAltCodeRightAlt = keyboard.RightOnly(user::VK_LMENU, user::VK_RMENU);
        return KeyDecision::Hold;
    }
    down.Key = key;
    down.RightShift = down.Shift && keyboard.RightOnly(user::VK_LSHIFT, user::VK_RSHIFT);
    down.RightControl = down.Control && keyboard.RightOnly(user::VK_LCONTROL, user::VK_RCONTROL);
    down.RightAlt = down.Alt && keyboard.RightOnly(user::VK_LMENU, user::VK_RMENU);
    down.Extended = (flags >> 24) & 1;
    user::WORD output[2] = {0, 0};
    user::ToAsciiEx(key, 0, keyboard.State, output, 0, ConversionLayout());
    down.Char = static_cast<char>(output[0] & 0xFF);
    return FFramer.OnKeyDown(down);
}

void TManagerQuillList::ReplayAbandonedAltCode(const KeyDown& down) {
    // Another key while Alt is held ends the code without a character: the digits held for it
    // reach the application as the keys they were, with Alt still down.
    std::vector<HeldKey> digits;
    for (char digit : FAltCode.AltUp())
        digits.push_back({down.Shift, down.Control, true,
                          static_cast<std::uint16_t>(user::VK_NUMPAD0 + (digit - '0')), false,
                          false, FAltCodeRightAlt, false, ""});
    ReplayKeys(digits);
}

KeyDecision TManagerQuillList::ExamineAltCode(const std::string& digits, KeyDown down) {
    // The character of the code in the 8-bit code page of the capture's texts.
    const char16_t wide = user::AltCodeCharacter(digits);
    down.Key = user::VK_MENU;
    down.Char = wide ? kernel::WideToAnsi(std::u16string(1, wide))[0] : '\0';
    down.Alt = true;
    down.RightAlt = FAltCodeRightAlt;
    down.RightShift = down.Shift && RightOnly(user::VK_LSHIFT, user::VK_RSHIFT);
    down.RightControl = down.Control && RightOnly(user::VK_LCONTROL, user::VK_RCONTROL);
    down.AltDigits = digits;
    // The release of Alt itself always passes: the application must see Alt go up. When the
    // framer lets the character through, the application gets it typed as the same Alt code.
    const HeldKey held{down.Shift,        down.Control,  down.Alt, down.Key, down.RightShift,
                       down.RightControl, down.RightAlt, false,    digits};
    if (FFramer.OnKeyDown(down) == KeyDecision::Pass) ReplayKeys({held});
    return KeyDecision::Pass;
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

namespace {

// The six modifier keys by side, in the order they are pressed.
struct TSidedModifier {
    user::BYTE Key;
    bool Extended;
};
constexpr TSidedModifier kModifiers[] = {{user::VK_LSHIFT, false},   {user::VK_RSHIFT, false},
                                         {user::VK_LCONTROL, false}, {user::VK_RCONTROL, true},
                                         {user::VK_LMENU, false},    {user::VK_RMENU, true}};
constexpr std::size_t kModifierCount = std::size(kModifiers);
using TModifierSet = std::array<bool, kModifierCount>;

TModifierSet ModifiersOf(const HeldKey& key) {
    TModifierSet set{};
    set[0] = key.Shift && !key.RightShift;
    set[1] = key.Shift && key.RightShift;
    set[2] = key.Control && !key.RightControl;
    set[3] = key.Control && key.RightControl;
    set[4] = key.Alt && !key.RightAlt;
    set[5] = key.Alt && key.RightAlt;
    return set;
}

// The batch of key events that replays held keys.
class TReplayBatch {
  public:
    explicit TReplayBatch(const TModifierSet& start) : FDown(start) {}

    void Key(user::BYTE key, bool extended, bool up) {
        user::INPUT input{};
        input.type = user::INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags =
            (up ? user::KEYEVENTF_KEYUP : 0) | (extended ? user::KEYEVENTF_EXTENDEDKEY : 0);
        input.ki.dwExtraInfo = ReplayMarker;
        FInputs.push_back(input);
    }
    void Tap(user::BYTE key, bool extended) {
        Key(key, extended, false);
        Key(key, extended, true);
    }
    // Releases the modifiers outside `wanted`, then presses those missing.
    void Modifiers(const TModifierSet& wanted) {
        for (std::size_t m = 0; m < kModifierCount; ++m)
            if (FDown[m] && !wanted[m]) Key(kModifiers[m].Key, kModifiers[m].Extended, true);
        for (std::size_t m = 0; m < kModifierCount; ++m)
            if (!FDown[m] && wanted[m]) Key(kModifiers[m].Key, kModifiers[m].Extended, false);
        FDown = wanted;
    }
    void Send() {
        user::SendInput(static_cast<user::UINT>(FInputs.size()), FInputs.data(),
                        static_cast<int>(sizeof(user::INPUT)));
    }

  private:
    TModifierSet FDown;
    std::vector<user::INPUT> FInputs;
};

} // namespace

void TManagerQuillList::ReplayKeys(const std::vector<HeldKey>& keys) {
    // What the user holds now, from the input path: the batch starts from it and returns to it.
    TModifierSet user{};
    for (std::size_t m = 0; m < kModifierCount; ++m)
        user[m] = user::GetAsyncKeyState(kModifiers[m].Key) < 0;
    TReplayBatch batch(user);
    for (const HeldKey& held : keys) {
        TModifierSet wanted = ModifiersOf(held);
        if (!held.AltDigits.empty()) {
            // An Alt code: Alt goes down for the digits and up again to enter the character.
            wanted[4] = wanted[5] = false;
            batch.Modifiers(wanted);
            const std::size_t alt = held.RightAlt ? 5 : 4;
            batch.Key(kModifiers[alt].Key, kModifiers[alt].Extended, false);
            for (char digit : held.AltDigits)
                batch.Tap(static_cast<user::BYTE>(user::VK_NUMPAD0 + (digit - '0')), false);
            batch.Key(kModifiers[alt].Key, kModifiers[alt].Extended, true);
            continue;
        }
        batch.Modifiers(wanted);
        batch.Tap(static_cast<user::BYTE>(held.Key & 0xFF), held.Extended);
    }
    batch.Modifiers(user);
    batch.Send();
}

} // namespace quill::capture
