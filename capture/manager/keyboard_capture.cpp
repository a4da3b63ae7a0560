#include "capture/manager/keyboard_capture.h"
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
#include <optional>

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

user::LRESULT CALLBACK TManagerQuillList::KeyboardHookProc(int code, user::WPARAM key,
                                                           user::LPARAM flags) {
    if (code == user::HC_ACTION) {
        TManagerQuillList* list = ScannerList();
        // Keys the capture typed itself pass unexamined: examining them again would hold a lone
        // prefix character for ever.
        if (list) {
            // A host thread may be changing the devices right now: wait for it to finish.
            const auto guard = list->Use();
            if (IsReplayedKey(flags)) {
                list->NoteKeyReachingApplication(key, flags);
            } else {
                try {
                    if (list->FCapturing() && list->Examine(key, flags) == KeyDecision::Hold)
                        return HookKeyHeld;
                } catch (...) {
                    // A failure while examining a key never swallows it.
                }
                list->NoteKeyReachingApplication(key, flags);
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

} // namespace

void TManagerQuillList::NoteKeyReachingApplication(user::WPARAM wParam, user::LPARAM lParam) {
    const auto key = static_cast<std::uint16_t>(wParam & 0xFFFF);
    const bool released = (static_cast<std::uint32_t>(lParam) >> 31) & 1;
    if (!released && !IsModifier(key)) FAltTap.KeyReachedApplication = true;
}

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
        // Key-ups pass, but the release of Alt ends an Alt code, whose character is judged now.
        if (key != user::VK_MENU) return KeyDecision::Pass;
        if (!FAltCode.Digits().empty()) ExamineAltCode(FAltCode.AltUp(), down);
        // The application saw Alt go down; had every key since then been held back, the release
        // alone would be a lone Alt tap, which opens a window's menu bar. The held keys come
        // back (or go into a scan) on their own.
        const bool lone = FAltTap.KeyHeld && !FAltTap.KeyReachedApplication;
        FAltTap = {};
        return lone ? KeyDecision::Hold : KeyDecision::Pass;
    }
    const KeyDecision decision = ExamineKeyDown(key, flags, keyboard, down);
    if (decision == KeyDecision::Hold && down.Alt) FAltTap.KeyHeld = true;
    return decision;
}

KeyDecision TManagerQuillList::ExamineKeyDown(std::uint16_t key, std::uint32_t flags,
                                              const TKeyboardSnapshot& keyboard, KeyDown& down) {
    if (key == user::VK_MENU && !((flags >> 30) & 1)) FAltTap = {}; // Alt pressed, not repeated
    if (IsModifier(key) || IsLockKey(key)) return KeyDecision::Pass;
    // Another key while Alt is held ends an Alt code without a character: its digits go with
    // this key, which types them first.
    std::string abandoned;
    const bool extended = (flags >> 24) & 1;
    const bool altDigit = down.Alt && !down.Control &&
                          user::AltCodeDigit(static_cast<std::uint8_t>(key), extended) >= 0;
    if (!altDigit && !FAltCode.Digits().empty()) abandoned = FAltCode.AltUp();
    if (FAltCode.KeyDown(static_cast<std::uint8_t>(key), extended, down.Alt, down.Control)) {
        // A digit of an Alt code: held until Alt is released and the character is known.
        if (FAltCode.Digits().size() == 1)
            FAltCodeRightAlt = keyboard.RightOnly(user::VK_LMENU, user::VK_RMENU);
        return KeyDecision::Hold;
    }
    down.Key = key;
    down.RightShift = down.Shift && keyboard.RightOnly(user::VK_LSHIFT, user::VK_RSHIFT);
    down.RightControl = down.Control && keyboard.RightOnly(user::VK_LCONTROL, user::VK_RCONTROL);
    down.RightAlt = down.Alt && keyboard.RightOnly(user::VK_LMENU, user::VK_RMENU);
    down.Extended = extended;
    user::WORD output[2] = {0, 0};
    user::ToAsciiEx(key, 0, keyboard.State, output, 0, ConversionLayout());
    down.Char = static_cast<char>(output[0] & 0xFF);
    down.AltDigits = abandoned;
    down.CapsLock = (keyboard.State[user::VK_CAPITAL] & 0x01) != 0;
    down.NumLock = (keyboard.State[user::VK_NUMLOCK] & 0x01) != 0;
    const KeyDecision decision = FFramer.OnKeyDown(down);
    if (decision == KeyDecision::Hold || abandoned.empty()) return decision;
    // The key passes, but the digits it carries were held: both are typed again, digits first,
    // in place of the key.
    ReplayKeys({{down.Shift, down.Control, down.Alt, down.Key, down.RightShift, down.RightControl,
                 down.RightAlt, down.Extended, abandoned, down.CapsLock, down.NumLock}});
    return KeyDecision::Hold;
}

void TManagerQuillList::ExamineAltCode(const std::string& digits, KeyDown down) {
    // The character of the code in the 8-bit code page of the capture's texts.
    const char16_t wide = user::AltCodeCharacter(digits);
    down.Key = user::VK_MENU;
    down.Char = wide ? kernel::WideToAnsi(std::u16string(1, wide))[0] : '\0';
    down.Alt = true;
    down.RightAlt = FAltCodeRightAlt;
    down.RightShift = down.Shift && RightOnly(user::VK_LSHIFT, user::VK_RSHIFT);
    down.RightControl = down.Control && RightOnly(user::VK_LCONTROL, user::VK_RCONTROL);
    down.AltDigits = digits;
    // When the framer lets the character through, the application gets it typed as the same
    // Alt code.
    const HeldKey held{down.Shift,        down.Control,  down.Alt, down.Key, down.RightShift,
                       down.RightControl, down.RightAlt, false,    digits};
    if (FFramer.OnKeyDown(down) == KeyDecision::Pass) ReplayKeys({held});
    FAltTap.KeyHeld = true;
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
// The right-hand keys are entered with the extended flag: without a scan code, that is what
// tells the system their side (the right Shift is no extended key on a keyboard, but without the
// flag a system may act on the left Shift and leave it down).
constexpr TSidedModifier kModifiers[] = {{user::VK_LSHIFT, false},   {user::VK_RSHIFT, true},
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
    TReplayBatch(const TModifierSet& start, bool capsLock, bool numLock)
        : FDown(start), FCapsLock(capsLock), FNumLock(numLock) {}

    void Key(user::BYTE key, bool extended, bool up) {
        user::INPUT input{};
        input.type = user::INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.wScan = 0; // what tells the hook that this key is the replay's
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
    // Taps Caps Lock or Num Lock where its state differs from the one wanted (none: any).
    void Locks(std::optional<bool> capsLock, std::optional<bool> numLock) {
        if (capsLock && *capsLock != FCapsLock) {
            Tap(user::VK_CAPITAL, false);
            FCapsLock = *capsLock;
        }
        if (numLock && *numLock != FNumLock) {
            Tap(user::VK_NUMLOCK, false);
            FNumLock = *numLock;
        }
    }
    void Send() {
        user::SendInput(static_cast<user::UINT>(FInputs.size()), FInputs.data(),
                        static_cast<int>(sizeof(user::INPUT)));
    }

  private:
    TModifierSet FDown;
    bool FCapsLock;
    bool FNumLock;
    std::vector<user::INPUT> FInputs;
};

} // namespace

void TManagerQuillList::ReplayKeys(const std::vector<HeldKey>& keys) {
    // What the user holds now, from the input path: the batch starts from it and returns to it.
    TModifierSet user{};
    for (std::size_t m = 0; m < kModifierCount; ++m)
        user[m] = user::GetAsyncKeyState(kModifiers[m].Key) < 0;
    // The lock states as the application has them now; a key whose character depends on one
    // gets the state it was typed with, and the batch ends with the user's states again.
    const bool userCapsLock = (user::GetKeyState(user::VK_CAPITAL) & 0x01) != 0;
    const bool userNumLock = (user::GetKeyState(user::VK_NUMLOCK) & 0x01) != 0;
    TReplayBatch batch(user, userCapsLock, userNumLock);
    auto tapDigits = [&](const std::string& digits) {
        for (char digit : digits)
            batch.Tap(static_cast<user::BYTE>(user::VK_NUMPAD0 + (digit - '0')), false);
    };
    for (const HeldKey& held : keys) {
        TModifierSet wanted = ModifiersOf(held);
        const std::size_t alt = held.RightAlt ? 5 : 4;
        if (!held.AltDigits.empty() && held.Key == user::VK_MENU) {
            // An Alt code: Alt goes down for the digits and up again to enter the character.
            wanted[4] = wanted[5] = false;
            batch.Modifiers(wanted);
            batch.Key(kModifiers[alt].Key, kModifiers[alt].Extended, false);
            tapDigits(held.AltDigits);
            batch.Key(kModifiers[alt].Key, kModifiers[alt].Extended, true);
            continue;
        }
        if (!held.AltDigits.empty()) {
            // The digits of an Alt code that this key abandoned: typed with Alt alone, before it.
            TModifierSet digitsWanted = wanted;
            digitsWanted[2] = digitsWanted[3] = false;
            if (!held.Alt) digitsWanted[alt] = true;
            batch.Modifiers(digitsWanted);
            tapDigits(held.AltDigits);
        }
        batch.Modifiers(wanted);
        batch.Locks(CapsLockMatters(held.Key) ? std::optional(held.CapsLock) : std::nullopt,
                    NumLockMatters(held.Key) ? std::optional(held.NumLock) : std::nullopt);
        batch.Tap(static_cast<user::BYTE>(held.Key & 0xFF), held.Extended);
    }
    batch.Modifiers(user);
    batch.Locks(userCapsLock, userNumLock);
    batch.Send();
}

} // namespace quill::capture
