#include "win32/key_script_runner.h"

#include "capture/manager/keyboard_capture.h"
#include "capture/scanner_list_script.h"
#include "platform/user/alt_code.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"
#include "support/keyboard_keys.h"
#include "win32/focus_window.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

namespace quill::test {

namespace {

// One keystroke as a keyboard enters it: the key with its own scan code. The right Shift goes in
// with the extended flag, as Wine's keyboard driver enters it (its message has no extended bit):
// without it Wine's SendInput acts on the left Shift.
INPUT Keystroke(BYTE key, bool up, bool extended, WORD scanCode = 0) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = scanCode ? scanCode : ScanCodeOf(key);
    if (input.ki.wScan == 0)
        throw std::runtime_error("no scan code for key " + std::to_string(key) +
                                 ": it would pass for a replayed key");
    if (key == VK_RSHIFT) extended = true;
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

// A key of the script as the keyboard enters it now: with Num Lock off the keypad's digits and
// point are the navigation keys printed beside them (same scan codes, not extended), as the
// system's layout gives them.
INPUT ScriptKeystroke(BYTE key, bool up, bool extended) {
    constexpr BYTE kNavigation[] = {VK_INSERT, VK_END,   VK_DOWN, VK_NEXT, VK_LEFT,
                                    VK_CLEAR,  VK_RIGHT, VK_HOME, VK_UP,   VK_PRIOR,
                                    0,         0,        0,       0,       VK_DELETE};
    const bool numLock = (::GetKeyState(VK_NUMLOCK) & 0x01) != 0;
    if (!numLock && key >= VK_NUMPAD0 && key <= VK_DECIMAL && kNavigation[key - VK_NUMPAD0])
        return Keystroke(kNavigation[key - VK_NUMPAD0], up, false, ScanCodeOf(key));
    return Keystroke(key, up, extended);
}

void Send(std::vector<INPUT> inputs) {
    if (::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) !=
        inputs.size())
        throw std::runtime_error("SendInput did not enter every key");
}

// The keystrokes that type `c` (with Shift or Control as needed).
std::vector<INPUT> KeystrokesOf(char c) {
    const auto stroke = user::CharToKey(c);
    if (!stroke) throw std::runtime_error(std::string("no key types ") + c);
    std::vector<INPUT> inputs;
    if (stroke->Shift) inputs.push_back(Keystroke(VK_LSHIFT, false, false));
    if (stroke->Control) inputs.push_back(Keystroke(VK_LCONTROL, false, false));
    inputs.push_back(Keystroke(stroke->Key, false, false));
    inputs.push_back(Keystroke(stroke->Key, true, false));
    if (stroke->Control) inputs.push_back(Keystroke(VK_LCONTROL, true, false));
    if (stroke->Shift) inputs.push_back(Keystroke(VK_LSHIFT, true, false));
    return inputs;
}

void Drain() {
    user::MSG msg{};
    while (user::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        user::TranslateMessage(&msg);
        user::DispatchMessageA(&msg);
    }
}

// Every modifier up and every lock key off, as a script expects to find the keyboard; entered
// before any hook is installed and the messages thrown away.
void ResetKeyboard() {
    std::vector<INPUT> inputs;
    for (BYTE key : {VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU})
        if (::GetAsyncKeyState(key) < 0)
            inputs.push_back(Keystroke(key, true, key == VK_RCONTROL || key == VK_RMENU));
    for (BYTE key : {VK_CAPITAL, VK_NUMLOCK, VK_SCROLL})
        if (::GetKeyState(key) & 0x01) {
            inputs.push_back(Keystroke(key, false, key == VK_NUMLOCK));
            inputs.push_back(Keystroke(key, true, key == VK_NUMLOCK));
        }
    if (!inputs.empty()) Send(inputs);
    Drain();
}

// The composition of Alt codes in the application's thread, for a system that leaves the digits
// as they are: Alt down, keypad digits only, Alt up enters the character of the code in the
// thread's code page. With Num Lock off the keypad's digits come as navigation keys.
class TAltCodeComposition {
  public:
    void NoteMessage(const user::MSG& msg, std::string& app) {
        const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
        const bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
        if (!down && !up) return;
        const auto flags = static_cast<std::uint32_t>(msg.lParam);
        if (msg.wParam == VK_MENU) {
            if (down && !((flags >> 30) & 1)) {
                FOpen = true;
                FDigits.clear();
            } else if (up) {
                if (FOpen && !FDigits.empty()) Enter(app);
                FOpen = false;
            }
            return;
        }
        if (!down) return;
        const bool extended = (flags >> 24) & 1;
        const int digit = user::AltCodeDigit(static_cast<BYTE>(msg.wParam), extended);
        if (digit < 0)
            FOpen = false;
        else if (FOpen)
            FDigits.push_back(static_cast<char>('0' + digit));
    }

  private:
    void Enter(std::string& app) const {
        const wchar_t wide = static_cast<wchar_t>(user::AltCodeCharacter(FDigits));
        char text[8] = {};
        const int n =
            ::WideCharToMultiByte(CP_ACP, 0, &wide, 1, text, sizeof text, nullptr, nullptr);
        if (wide && n > 0) app.append(text, static_cast<std::size_t>(n));
    }
    bool FOpen = false;
    std::string FDigits;
};

class TRealInputTarget;
TRealInputTarget* gTarget = nullptr;

class TRealInputTarget final : public TScannerListScript {
  public:
    explicit TRealInputTarget(const TRealInputRun& run)
        : TScannerListScript(run.TimeScale), FRun(run) {
        if (!FWindow.Ready()) throw std::runtime_error("the script's window got no keyboard focus");
        ResetKeyboard();
        // Installed before any device is switched on, so it runs after the capture's hook.
        FLiveHook =
            ::SetWindowsHookExA(WH_KEYBOARD, &LiveKeysHook, nullptr, ::GetCurrentThreadId());
        if (!FLiveHook) throw std::runtime_error("no hook for the live keys");
        gTarget = this;
        FSink.HookThread = ::GetCurrentThreadId();
        try {
            FList = MakeScannerList(FSink);
        } catch (...) {
            gTarget = nullptr;
            ::UnhookWindowsHookEx(FLiveHook);
            throw;
        }
        ServeScannerList(FList.get());
    }
    ~TRealInputTarget() {
        ::UnhookWindowsHookEx(FLiveHook);
        gTarget = nullptr;
        FList.reset();
        ServeScannerList(nullptr);
        ResetKeyboard();
    }

    void TypeChar(char c) override {
        Send(KeystrokesOf(c));
        Pump();
    }
    void KeyEvent(std::uint8_t key, bool up, bool extended) override {
        Send({ScriptKeystroke(key, up, extended)});
        Pump();
    }
    void TypeDuringNextReplay(const std::string& text) override { FLive += text; }
    void Advance(std::int64_t ms) override {
        const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(ms) * FRun.TimeScale;
        for (;;) {
            Pump();
            const ULONGLONG now = ::GetTickCount64();
            if (now >= deadline) break;
            if (!FList->TimerRunning() && HIWORD(::GetQueueStatus(QS_ALLINPUT)) == 0) break;
            // In short slices: a key entered from the hook may be on its way.
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                        static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 10)),
                                        QS_ALLINPUT);
        }
        Pump();
    }

  private:
    capture::TManagerQuillList& List() const override { return *FList; }
    const TRecordingSink& Sink() const override { return FSink; }
    const TApplicationKeys& Application() const override { return FApp; }

    void Pump() {
        user::MSG msg{};
        while (user::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            user::TranslateMessage(&msg);
            FApp.NoteMessage(msg);
            if (FRun.ComposeAltCodes) FAltCodes.NoteMessage(msg, FApp.App);
            user::DispatchMessageA(&msg);
        }
    }

    void TypeLiveKeys() {
        const std::string live = std::move(FLive);
        FLive.clear();
        std::vector<INPUT> inputs;
        for (char c : live) {
            const auto keys = KeystrokesOf(c);
            inputs.insert(inputs.end(), keys.begin(), keys.end());
        }
        if (!inputs.empty()) Send(inputs);
    }

    // The first replayed key that reaches the application: the whole batch is in the input now.
    static LRESULT CALLBACK LiveKeysHook(int code, WPARAM key, LPARAM flags) {
        if (code == HC_ACTION && gTarget && capture::IsReplayedKey(flags)) {
            try {
                gTarget->TypeLiveKeys();
            } catch (...) {
                // the script then misses its live keys, and says so in its result
            }
        }
        return ::CallNextHookEx(nullptr, code, key, flags);
    }

    TRealInputRun FRun;
    // The program's one window: under Wine destroying the foreground window waits about two
    // seconds for the display, which a window per script would pay 37 times.
    TFocusWindow& FWindow = TFocusWindow::OfThisProgram();
    TRecordingSink FSink;
    std::unique_ptr<capture::TManagerQuillList> FList;
    TApplicationKeys FApp;
    TAltCodeComposition FAltCodes;
    std::string FLive;
    HHOOK FLiveHook = nullptr;
};

} // namespace

std::string RunScriptOnRealInput(const KeyScript& script, const TRealInputRun& run) {
    TRealInputTarget target(run);
    return RunKeyScript(script, target);
}

bool SystemComposesAltCodes() {
    TFocusWindow& window = TFocusWindow::OfThisProgram();
    if (!window.Ready()) throw std::runtime_error("the probe's window got no keyboard focus");
    ResetKeyboard();
    window.Received.clear();
    Send({Keystroke(VK_LMENU, false, false), ScriptKeystroke(VK_NUMPAD6, false, false),
          ScriptKeystroke(VK_NUMPAD6, true, false), ScriptKeystroke(VK_NUMPAD5, false, false),
          ScriptKeystroke(VK_NUMPAD5, true, false), Keystroke(VK_LMENU, true, false)});
    std::string app;
    window.PumpUntil([&] {
        for (const user::MSG& m : window.Received)
            if ((m.message == WM_KEYUP || m.message == WM_SYSKEYUP) && m.wParam == VK_MENU)
                return true;
        return false;
    });
    window.Drain();
    for (const user::MSG& m : window.Received)
        if (m.message == WM_CHAR) app.push_back(static_cast<char>(m.wParam));
    return app == "A";
}

} // namespace quill::test
