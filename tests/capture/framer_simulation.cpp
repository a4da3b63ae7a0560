#include "capture/framer_simulation.h"

#include "platform/rtl/convert.h"
#include "platform/kernel/codepage.h"
#include "platform/user/alt_code.h"
#include "platform/user/us_layout.h"

#include <stdexcept>

namespace quill::test {

std::int32_t SimDevice::HookTimeOut() const {
    return rtl::StrToInt(TimeOut);
}

void FramerSimulation::TypeChar(char c) {
    const auto stroke = user::CharToKey(c);
    if (!stroke) throw std::runtime_error(std::string("no key types ") + c);
    if (stroke->Shift) KeyEvent(user::VK_LSHIFT, false);
    if (stroke->Control) KeyEvent(user::VK_LCONTROL, false);
    KeyEvent(stroke->Key, false);
    KeyEvent(stroke->Key, true);
    if (stroke->Control) KeyEvent(user::VK_LCONTROL, true);
    if (stroke->Shift) KeyEvent(user::VK_LSHIFT, true);
}

char FramerSimulation::CharOf(std::uint8_t key, bool shift, bool control, bool alt) const {
    if (control && alt) return 0;
    if (alt && user::IsKeypadDigit(key)) return 0;
    return user::KeyToChar(key, shift, FCapsLock, control, FNumLock);
}

namespace {

// The character the application gets for a key: keys typed with Alt alone make system
// characters, which are no text, except the character of an Alt code.
char TextOf(const capture::KeyDown& key) {
    const bool altCode = key.Key == user::VK_MENU && !key.AltDigits.empty();
    return key.Alt && !key.Control && !altCode ? 0 : key.Char;
}

} // namespace

void FramerSimulation::Judge(const capture::KeyDown& key) {
    if (Framer.OnKeyDown(key) == capture::KeyDecision::Pass && TextOf(key))
        App.push_back(TextOf(key));
    TypeLiveKeys();
}

void FramerSimulation::TypeLiveKeys() {
    const std::string live = std::move(FLivePending);
    FLivePending.clear();
    for (char c : live)
        TypeChar(c);
}

void FramerSimulation::KeyEvent(std::uint8_t key, bool up, bool extended) {
    const bool wasDown = FDown[key];
    FDown[key] = !up;
    const bool shift = Down(user::VK_LSHIFT) || Down(user::VK_RSHIFT);
    const bool control = Down(user::VK_LCONTROL) || Down(user::VK_RCONTROL);
    const bool alt = Down(user::VK_LMENU) || Down(user::VK_RMENU);
    const bool isAlt = key == user::VK_LMENU || key == user::VK_RMENU;
    if (up) {
        if (!isAlt || alt || FAltDigits.empty()) return;
        // Alt released: the code's character is one key of the framing.
        const std::string digits = std::move(FAltDigits);
        FAltDigits.clear();
        const std::string ansi =
            kernel::WideToAnsi(std::u16string(1, user::AltCodeCharacter(digits)));
        capture::KeyDown down{user::VK_MENU, ansi[0], shift, control, true};
        down.RightAlt = FAltRight;
        down.AltDigits = digits;
        Judge(down);
        return;
    }
    switch (key) {
    case user::VK_CAPITAL:
        if (!wasDown) FCapsLock = !FCapsLock;
        return;
    case user::VK_NUMLOCK:
        if (!wasDown) FNumLock = !FNumLock;
        return;
    case user::VK_SCROLL:
    case user::VK_LSHIFT:
    case user::VK_RSHIFT:
    case user::VK_LCONTROL:
    case user::VK_RCONTROL:
    case user::VK_LMENU:
    case user::VK_RMENU:
        return;
    default:
        break;
    }
    if (alt && !control && user::IsKeypadDigit(key)) {
        if (FAltDigits.empty()) FAltRight = Down(user::VK_RMENU) && !Down(user::VK_LMENU);
        FAltDigits.push_back(static_cast<char>('0' + (key - user::VK_NUMPAD0)));
        return;
    }
    capture::KeyDown down{key, CharOf(key, shift, control, alt), shift, control, alt};
    // Another key abandons an Alt code: its digits, which type nothing, go with the key.
    down.AltDigits = std::move(FAltDigits);
    FAltDigits.clear();
    down.CapsLock = FCapsLock;
    down.NumLock = FNumLock;
    down.RightShift = shift && Down(user::VK_RSHIFT) && !Down(user::VK_LSHIFT);
    down.RightControl = control && Down(user::VK_RCONTROL) && !Down(user::VK_LCONTROL);
    down.RightAlt = alt && Down(user::VK_RMENU) && !Down(user::VK_LMENU);
    down.Extended = extended;
    Judge(down);
}

void FramerSimulation::Advance(std::int64_t ms) {
    const std::int64_t target = Now + ms;
    while (FDue && *FDue <= target) {
        Now = *FDue;
        FDue = Now + FInterval; // a window timer repeats until it is stopped
        Framer.OnTimeout();
        TypeLiveKeys();
    }
    Now = target;
}

bool FramerSimulation::StartTimer(std::int32_t interval) {
    FDue.reset();
    if (interval <= 0 || RefuseTimer) return false;
    FInterval = interval;
    FDue = Now + interval;
    return true;
}

void FramerSimulation::ReplayKeys(const std::vector<capture::HeldKey>& keys) {
    // Replayed keys carry their marker and pass the hook unexamined; each has its own modifiers.
    for (const auto& k : keys) {
        // Each key comes back with the lock states it was typed with.
        const auto key = static_cast<std::uint8_t>(k.Key);
        capture::KeyDown down{k.Key, 0, k.Shift, k.Control, k.Alt};
        down.AltDigits = k.AltDigits;
        if (k.Key == user::VK_MENU && !k.AltDigits.empty())
            down.Char =
                kernel::WideToAnsi(std::u16string(1, user::AltCodeCharacter(k.AltDigits)))[0];
        else if (!(k.Control && k.Alt) && !(k.Alt && user::IsKeypadDigit(key)))
            down.Char = user::KeyToChar(key, k.Shift, k.CapsLock, k.Control, k.NumLock);
        if (TextOf(down)) App.push_back(TextOf(down));
    }
    // Keys the user typed while the replay was entered come after it, once the replay is over.
    FLivePending += FLive;
    FLive.clear();
}

namespace {

void Apply(SimDevice& d, const ScriptDeviceSettings& settings) {
    if (settings.On) d.On = *settings.On;
    if (settings.Pref) d.Pref = *settings.Pref;
    if (settings.Post) d.Post = *settings.Post;
    if (settings.TimeOut) d.TimeOut = *settings.TimeOut;
    if (settings.InterChar) d.InterChar = *settings.InterChar == "1";
    if (settings.MinLen) d.MinLen = static_cast<std::uint8_t>(std::stoi(*settings.MinLen) & 0xFF);
}

class TSimulationTarget final : public IKeyScriptTarget {
  public:
    void AddDevice(const ScriptDeviceSettings& settings) override {
        FSim.Devices.emplace_back();
        Apply(FSim.Devices.back(), settings);
    }
    void SetDevice(int index, const ScriptDeviceSettings& settings) override {
        Apply(FSim.Devices.at(static_cast<std::size_t>(index)), settings);
    }
    void TypeChar(char c) override { FSim.TypeChar(c); }
    void KeyEvent(std::uint8_t key, bool up, bool extended) override {
        FSim.KeyEvent(key, up, extended);
    }
    void TypeDuringNextReplay(const std::string& text) override { FSim.TypeDuringNextReplay(text); }
    void Advance(std::int64_t ms) override { FSim.Advance(ms); }
    std::vector<std::pair<int, std::string>> RaisedScans() const override { return FSim.Scans; }
    std::string ApplicationText() const override { return FSim.App; }

  private:
    FramerSimulation FSim;
};

} // namespace

std::string RunFramerScript(const KeyScript& script) {
    TSimulationTarget target;
    return RunKeyScript(script, target);
}

} // namespace quill::test
