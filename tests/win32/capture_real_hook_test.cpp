// The scanner capture on the system's own input path, under Wine: a scanner list whose hook is the
// system's thread keyboard hook on the test thread, its time-out a window timer on the real clock,
// keys entered as a keyboard enters them (the system's SendInput, with the scan code a keyboard
// gives each key) into the focused test window, and what that window received read back as the
// application would see it.
//
// Time-outs: a scan's keys are entered in one batch before the thread looks at its queue, and the
// time-out's WM_TIMER is only retrieved once no input is queued, so no pause of a loaded machine
// can cut a scan; kTimeoutMs is still long enough (half a second) that keys entered in separate
// batches with the thread pumping between them stay one sequence on a slow machine. The tests
// that wait for a replay wait that long, and no longer than needed.
#include "win32/focus_window.h"

#include "capture/manager/manager_quill.h"
#include "capture/manager/manager_quill_list.h"
#include "platform/kernel/codepage.h"
#include "platform/user/key_state.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"
#include "platform/user/virtual_keys.h"
#include "quill/host.h"
#include "support/keyboard_keys.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quill {
namespace {

using capture::TManagerQuill;
using capture::TManagerQuillList;

constexpr std::int32_t kTimeoutMs = 500;
// How long a test waits for what must come at once, or after one time-out.
constexpr user::DWORD kPromptMs = 2000;
constexpr user::DWORD kAfterTimeoutMs = kTimeoutMs + 2000;

class TSink final : public TEventSupportBase {
  public:
    std::vector<std::u16string> Data;
    std::uint32_t HookThread = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override {
        if (!object) return com::E_POINTER;
        if (iid == com::IUnknown::Guid || iid == IEventSupport::Guid ||
            iid == IEventSupport2::Guid) {
            *object = static_cast<IEventSupport2*>(this);
            return com::S_OK;
        }
        *object = nullptr;
        return com::E_NOINTERFACE;
    }
    com::ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    com::ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR, BSTR, BSTR data, GUID*) override {
        Data.emplace_back(data ? std::u16string(data) : std::u16string());
        return com::S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateValueArray(IDispatch**) override { return com::E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHookThreadId(std::uint32_t* threadId) override {
        *threadId = HookThread;
        return com::S_OK;
    }
};

TManagerQuillList* gList = nullptr;
TManagerQuillList* CurrentList() {
    return gList;
}

// The scan code a keyboard gives `key` (support/keyboard_keys.h).
std::uint16_t KeyboardScanCode(user::BYTE key) {
    return test::ScanCodeOf(key);
}

// One key event as a keyboard gives it: with its scan code. The right Shift also carries the
// extended flag, as Wine's own keyboard driver enters it: with its scan code alone, Wine's
// SendInput acts on the left Shift.
user::INPUT KeyEvent(user::BYTE key, bool up, bool extended = false) {
    user::INPUT input{};
    input.type = user::INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = KeyboardScanCode(key);
    if (key == user::VK_RSHIFT) extended = true;
    input.ki.dwFlags =
        (up ? user::KEYEVENTF_KEYUP : 0) | (extended ? user::KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

class CaptureRealHook : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FWindow.Ready()) << "the test window did not get the keyboard focus";
        FWindow.Drain();
        FWindow.Received.clear();
        Sink.HookThread = user::GetCurrentThreadId();
        List = std::make_unique<TManagerQuillList>(rtl::ItemClassOf<TManagerQuill>);
        List->EventSink = com::ComPtr<IEventSupport2>(&Sink);
        gList = List.get();
        capture::SetScannerListAccessor(&CurrentList);
    }
    void TearDown() override {
        List.reset();
        gList = nullptr;
        capture::SetScannerListAccessor(nullptr);
        // Whatever a failed test left down goes up, so the next starts clean.
        std::vector<user::INPUT> up;
        for (user::BYTE key : {user::VK_LSHIFT, user::VK_RSHIFT, user::VK_LCONTROL,
                               user::VK_RCONTROL, user::VK_LMENU, user::VK_RMENU})
            if (user::GetAsyncKeyState(key) < 0)
                up.push_back(
                    KeyEvent(key, true, key == user::VK_RCONTROL || key == user::VK_RMENU));
        if (!up.empty()) Enter(up);
        FWindow.Drain();
    }

    // A switched-on device that frames "+++data+++" with the tests' time-out.
    TManagerQuill* SwitchedOnDevice() {
        auto* device = static_cast<TManagerQuill*>(List->Add());
        device->SetParamInt("HookTimeOut", kTimeoutMs);
        device->SetState(1);
        EXPECT_NE(List->HookHandle(), nullptr);
        return device;
    }

    void Enter(const std::vector<user::INPUT>& inputs) {
        ASSERT_EQ(test::EnterAsKeyboard(inputs), inputs.size());
    }
    // The key events that type `text` on the US keyboard (the left Shift where needed).
    static std::vector<user::INPUT> Keys(const std::string& text) {
        std::vector<user::INPUT> inputs;
        for (char c : text) {
            const auto stroke = user::CharToKey(c);
            if (!stroke) ADD_FAILURE() << "no key types " << c;
            if (!stroke) continue;
            if (stroke->Shift) inputs.push_back(KeyEvent(user::VK_LSHIFT, false));
            inputs.push_back(KeyEvent(stroke->Key, false));
            inputs.push_back(KeyEvent(stroke->Key, true));
            if (stroke->Shift) inputs.push_back(KeyEvent(user::VK_LSHIFT, true));
        }
        return inputs;
    }
    void Type(const std::string& text) {
        Enter(Keys(text));
        FWindow.Drain();
    }
    void Tap(user::BYTE key) {
        Enter({KeyEvent(key, false), KeyEvent(key, true)});
        FWindow.Drain();
    }

    // The characters the window received.
    std::string Chars() const {
        std::string chars;
        for (const user::MSG& msg : FWindow.Received)
            if (msg.message == user::WM_CHAR) chars.push_back(static_cast<char>(msg.wParam));
        return chars;
    }
    int KeyDowns(user::WPARAM key) const {
        int count = 0;
        for (const user::MSG& msg : FWindow.Received)
            if ((msg.message == user::WM_KEYDOWN || msg.message == user::WM_SYSKEYDOWN) &&
                msg.wParam == key)
                ++count;
        return count;
    }
    bool WaitForChars(const std::string& chars, user::DWORD timeoutMs) {
        return FWindow.PumpUntil([&] { return Chars() == chars; }, timeoutMs);
    }
    // As WaitForChars, for keys the capture gives back: fails the test as well when, once the
    // held keys had gone, keys were held again before `chars` arrived (the capture framing its
    // own replay, which would then come back only after another time-out).
    bool WaitForReplay(const std::string& chars, user::DWORD timeoutMs) {
        bool givenBack = false;
        bool heldAgain = false;
        const bool arrived = FWindow.PumpUntil(
            [&] {
                if (gList->FHeldKeys().empty())
                    givenBack = true;
                else if (givenBack)
                    heldAgain = true;
                return Chars() == chars;
            },
            timeoutMs);
        EXPECT_FALSE(heldAgain) << "the capture held keys of its own replay";
        return arrived;
    }
    static bool Down(int key) { return user::GetKeyState(key) < 0; }

    test::TFocusWindow& FWindow = test::TFocusWindow::OfThisProgram();
    TSink Sink;
    std::unique_ptr<TManagerQuillList> List;
};

TEST_F(CaptureRealHook, AScanIsCutOutAndRaisedAndTheUsersKeysPass) {
    SwitchedOnDevice();
    Type("ab+++4006381333931+++cd");
    EXPECT_TRUE(
        FWindow.PumpUntil([&] { return Chars() == "abcd" && Sink.Data.size() == 1; }, kPromptMs))
        << Chars();
    ASSERT_EQ(Sink.Data.size(), 1u);
    EXPECT_EQ(Sink.Data[0], u"4006381333931");
    EXPECT_EQ(KeyDowns('4'), 0); // none of the scan's keys reached the window
    EXPECT_TRUE(List->FHeldKeys().empty());
    EXPECT_FALSE(List->TimerRunning());
}

TEST_F(CaptureRealHook, TheHookComesWithTheFirstSwitchedOnDeviceAndGoesWithTheLast) {
    auto* first = static_cast<TManagerQuill*>(List->Add());
    auto* second = static_cast<TManagerQuill*>(List->Add());
    second->SetParamInt("HookTimeOut", kTimeoutMs);
    EXPECT_EQ(List->HookHandle(), nullptr);
    first->SetState(1);
    const user::HHOOK hook = List->HookHandle();
    ASSERT_NE(hook, nullptr);
    second->SetState(1);
    EXPECT_EQ(List->HookHandle(), hook);
    first->SetState(0);
    EXPECT_EQ(List->HookHandle(), hook);
    Type("+");
    EXPECT_EQ(Chars(), "") << "the second device still frames";
    second->SetState(0);
    EXPECT_EQ(List->HookHandle(), nullptr);
    Type("+");
    EXPECT_TRUE(WaitForChars("++", kPromptMs)) << Chars();
    EXPECT_FALSE(List->TimerRunning());
}

// A host makes the list and switches its device on from a thread of its own; the hook and the
// time-out belong to the thread the event sink names, where the keys arrive. The time-out is a
// window timer of that thread: it fires there and gives the held keys back.
TEST_F(CaptureRealHook, TheTimeOutIsAWindowTimerOfTheHooksThread) {
    List.reset();
    std::unique_ptr<TManagerQuillList> list;
    std::promise<void> made;
    std::promise<void> finished;
    std::thread host([&] {
        list = std::make_unique<TManagerQuillList>(rtl::ItemClassOf<TManagerQuill>);
        list->EventSink = com::ComPtr<IEventSupport2>(&Sink);
        gList = list.get();
        auto* device = static_cast<TManagerQuill*>(list->Add());
        device->SetParamInt("HookTimeOut", kTimeoutMs);
        device->SetState(1);
        made.set_value();
        finished.get_future().wait();
        list.reset();
        gList = nullptr;
    });
    made.get_future().wait();
    EXPECT_NE(list->HookHandle(), nullptr);
    Type("+x");
    EXPECT_EQ(Chars(), "");
    EXPECT_EQ(list->FHeldKeys().size(), 2u);
    EXPECT_TRUE(WaitForReplay("+x", kAfterTimeoutMs)) << Chars();
    Type("+++1234+++");
    EXPECT_TRUE(FWindow.PumpUntil([&] { return Sink.Data.size() == 1; }, kPromptMs));
    EXPECT_EQ(Chars(), "+x");
    finished.set_value();
    host.join();
}

// Keys that no device claims come back once, after the time-out, and the capture does not take
// its own replay for keys to frame; keys typed afterwards arrive after it.
TEST_F(CaptureRealHook, AReplayIsNeverFramedAgainAndLaterKeysFollowIt) {
    SwitchedOnDevice();
    Type("+x");
    EXPECT_EQ(Chars(), "");
    EXPECT_EQ(List->FHeldKeys().size(), 2u);
    ASSERT_TRUE(WaitForReplay("+x", kAfterTimeoutMs)) << Chars();
    FWindow.Drain();
    EXPECT_TRUE(List->FHeldKeys().empty());
    EXPECT_FALSE(List->TimerRunning());
    Type("yz");
    EXPECT_TRUE(WaitForChars("+xyz", kPromptMs)) << Chars();
    EXPECT_FALSE(Down(user::VK_SHIFT));
}

// The user's key reaches the queue just before the replay of the same key is entered (it came
// while the time-out's WM_TIMER was being handled: the handler is called here at that moment).
// The live key is the user's and is examined; the replay behind it passes as the capture's own.
TEST_F(CaptureRealHook, ALiveKeyJustBeforeAReplayOfTheSameKeyIsNotTakenForIt) {
    SwitchedOnDevice();
    Type("+x");
    ASSERT_EQ(List->FHeldKeys().size(), 2u);
    Enter(Keys("x"));
    List->OnTimeout();
    EXPECT_TRUE(WaitForReplay("x+x", kPromptMs)) << Chars();
    FWindow.Drain();
    EXPECT_TRUE(List->FHeldKeys().empty()) << "replayed keys were framed again";
    EXPECT_FALSE(List->TimerRunning());
}

// "+" was typed with the left Shift; when it is replayed the user holds the right Shift. The
// replay switches sides and back, and afterwards only the right Shift is down, as the user holds
// it; releasing it leaves no Shift down.
TEST_F(CaptureRealHook, TheUserHoldingTheRightShiftAcrossAReplayKeepsOnlyIt) {
    SwitchedOnDevice();
    Type("+");
    Enter({KeyEvent(user::VK_RSHIFT, false)});
    FWindow.Drain();
    ASSERT_TRUE(WaitForChars("+", kAfterTimeoutMs)) << Chars();
    FWindow.Drain();
    EXPECT_TRUE(Down(user::VK_RSHIFT));
    EXPECT_FALSE(Down(user::VK_LSHIFT)) << "the replay left the left Shift down";
    EXPECT_LT(user::GetAsyncKeyState(user::VK_RSHIFT), 0);
    EXPECT_EQ(user::GetAsyncKeyState(user::VK_LSHIFT), 0);
    Enter({KeyEvent(user::VK_RSHIFT, true)});
    FWindow.Drain();
    EXPECT_FALSE(Down(user::VK_SHIFT));
    EXPECT_FALSE(Down(user::VK_LSHIFT));
    EXPECT_FALSE(Down(user::VK_RSHIFT));
}

// Caps Lock pressed inside an open sequence reaches the application at once (held and replayed
// it would toggle twice), and the held key comes back as it was typed.
TEST_F(CaptureRealHook, LockKeysAreNeverHeld) {
    SwitchedOnDevice();
    const bool capsLock = (user::GetKeyState(user::VK_CAPITAL) & 1) != 0;
    Type("+");
    ASSERT_EQ(List->FHeldKeys().size(), 1u);
    Tap(user::VK_CAPITAL);
    EXPECT_EQ(KeyDowns(user::VK_CAPITAL), 1);
    EXPECT_EQ(List->FHeldKeys().size(), 1u);
    EXPECT_TRUE(WaitForChars("+", kAfterTimeoutMs)) << Chars();
    FWindow.Drain();
    EXPECT_EQ(KeyDowns(user::VK_CAPITAL), 1);
    EXPECT_NE((user::GetKeyState(user::VK_CAPITAL) & 1) != 0, capsLock);
    Tap(user::VK_CAPITAL); // as it was
    EXPECT_EQ((user::GetKeyState(user::VK_CAPITAL) & 1) != 0, capsLock);
}

TEST_F(CaptureRealHook, KeypadDigitsUnderNumLockScanLikeTheMainBlock) {
    SwitchedOnDevice();
    const bool numLock = (user::GetKeyState(user::VK_NUMLOCK) & 1) != 0;
    if (!numLock) Tap(user::VK_NUMLOCK);
    ASSERT_TRUE(user::GetKeyState(user::VK_NUMLOCK) & 1);
    std::vector<user::INPUT> keys = Keys("+++");
    for (user::BYTE digit : {4, 0, 0, 6})
        for (bool up : {false, true})
            keys.push_back(KeyEvent(static_cast<user::BYTE>(user::VK_NUMPAD0 + digit), up));
    for (user::INPUT input : Keys("+++"))
        keys.push_back(input);
    Enter(keys);
    EXPECT_TRUE(FWindow.PumpUntil([&] { return Sink.Data.size() == 1; }, kPromptMs));
    ASSERT_EQ(Sink.Data.size(), 1u);
    EXPECT_EQ(Sink.Data[0], u"4006");
    EXPECT_EQ(Chars(), "");
    if (!numLock) Tap(user::VK_NUMLOCK);
}

// Alt held with keypad digits is an Alt code: the hook holds the digits and the framing judges
// the one character they make, so a scanner that types its data as Alt codes scans. (Composing
// the character of a code that reaches an application is the system's work: Windows does it,
// Wine 8 does not, so what the window shows of a passed code is not checked here.)
TEST_F(CaptureRealHook, AltCodesAreOneCharacterEachOfTheScan) {
    SwitchedOnDevice();
    std::vector<user::INPUT> keys = Keys("+++");
    auto altCode = [&](std::initializer_list<int> digits) {
        keys.push_back(KeyEvent(user::VK_LMENU, false));
        for (int digit : digits)
            for (bool up : {false, true})
                keys.push_back(KeyEvent(static_cast<user::BYTE>(user::VK_NUMPAD0 + digit), up));
        keys.push_back(KeyEvent(user::VK_LMENU, true));
    };
    altCode({6, 5});    // "A"
    altCode({0, 2, 9}); // the group separator
    for (user::INPUT input : Keys("12+++"))
        keys.push_back(input);
    Enter(keys);
    EXPECT_TRUE(FWindow.PumpUntil([&] { return Sink.Data.size() == 1; }, kPromptMs));
    ASSERT_EQ(Sink.Data.size(), 1u);
    EXPECT_EQ(Sink.Data[0], u"A\x1D"
                            u"12");
    // Neither the digits nor a lone Alt tap (which opens a menu bar) reached the window.
    for (int digit = 0; digit < 10; ++digit)
        EXPECT_EQ(KeyDowns(static_cast<user::WPARAM>(user::VK_NUMPAD0 + digit)), 0);
    EXPECT_FALSE(Down(user::VK_MENU));
}

// An Alt code whose character opens no prefix reaches the application as that Alt code: its
// digits once each, in order, with Alt down, then Alt released, and no Alt left down. (The user's
// Alt went through at once; its release is held while the digits are, and the replay presses and
// releases Alt around them.) The character the code makes is the system's to compose: Windows
// does, Wine 8 gives the window the digits, so only the keys are checked.
TEST_F(CaptureRealHook, AnAltCodeThatOpensNoPrefixReachesTheApplicationAsTyped) {
    SwitchedOnDevice();
    std::vector<user::INPUT> keys{KeyEvent(user::VK_LMENU, false)};
    for (int digit : {6, 5})
        for (bool up : {false, true})
            keys.push_back(KeyEvent(static_cast<user::BYTE>(user::VK_NUMPAD0 + digit), up));
    keys.push_back(KeyEvent(user::VK_LMENU, true));
    Enter(keys);
    // What arrived, as "d<key>" and "u<key>" for the Alt and digit keys.
    auto arrived = [&] {
        std::string keys;
        for (const user::MSG& msg : FWindow.Received) {
            const bool down = msg.message == user::WM_KEYDOWN || msg.message == user::WM_SYSKEYDOWN;
            const bool up = msg.message == user::WM_KEYUP || msg.message == user::WM_SYSKEYUP;
            if (msg.wParam == user::VK_MENU && (down || up)) keys += down ? "dA " : "uA ";
            if (user::IsKeypadDigit(static_cast<user::BYTE>(msg.wParam)) && down)
                keys += std::to_string(msg.wParam - user::VK_NUMPAD0) + " ";
        }
        return keys;
    };
    EXPECT_TRUE(FWindow.PumpUntil([&] { return arrived().ends_with("uA "); }, kPromptMs))
        << arrived();
    FWindow.Drain();
    EXPECT_EQ(arrived(), "dA dA 6 5 uA ");
    EXPECT_TRUE(List->FHeldKeys().empty());
    EXPECT_FALSE(Down(user::VK_MENU));
    EXPECT_EQ(user::GetAsyncKeyState(user::VK_MENU), 0);
    EXPECT_TRUE(Sink.Data.empty());
}

// The last device goes off while a scan is half typed: the held keys reach the application
// once, before anything typed afterwards, and no key is left down.
TEST_F(CaptureRealHook, ADeviceSwitchedOffInTheMiddleOfAScanGivesItsKeysBackOnce) {
    TManagerQuill* device = SwitchedOnDevice();
    Type("+++12");
    ASSERT_EQ(List->FHeldKeys().size(), 5u);
    device->SetState(0);
    EXPECT_EQ(List->HookHandle(), nullptr);
    Type("34");
    EXPECT_TRUE(WaitForChars("+++1234", kAfterTimeoutMs)) << Chars();
    FWindow.Drain();
    EXPECT_TRUE(List->FHeldKeys().empty());
    EXPECT_TRUE(Sink.Data.empty());
    EXPECT_FALSE(Down(user::VK_SHIFT));
    EXPECT_EQ(user::GetAsyncKeyState(user::VK_SHIFT), 0);
}

// A person types on one keyboard while a scanner types on another. One input stream cannot tell
// whose a key is: the person's keys between scans pass, and a key the person types in the middle
// of a scan lands in its data (the data is still raised whole, and nothing is typed twice).
TEST_F(CaptureRealHook, KeysOfTwoKeyboardsInterleaved) {
    SwitchedOnDevice();
    Type("a");
    Type("+++111+++");
    Type("b");
    Type("+++222");
    Type("c");
    Type("333+++d");
    EXPECT_TRUE(
        FWindow.PumpUntil([&] { return Chars() == "abd" && Sink.Data.size() == 2; }, kPromptMs))
        << Chars();
    ASSERT_EQ(Sink.Data.size(), 2u);
    EXPECT_EQ(Sink.Data[0], u"111");
    EXPECT_EQ(Sink.Data[1], u"222c333");
    EXPECT_TRUE(List->FHeldKeys().empty());
    EXPECT_FALSE(Down(user::VK_SHIFT));
}

// The time-out timer cannot start (its window has gone): the held keys are not kept for ever,
// they reach the application at once.
TEST_F(CaptureRealHook, NoHeldKeyIsKeptWhenTheTimerCannotStart) {
    SwitchedOnDevice();
    ASSERT_TRUE(test::DestroyThreadMessageWindow("TQuillCaptureTimer"));
    Type("+");
    EXPECT_TRUE(WaitForChars("+", kPromptMs)) << Chars();
    Type("+x");
    EXPECT_TRUE(WaitForChars("++x", kPromptMs)) << Chars();
    EXPECT_TRUE(List->FHeldKeys().empty());
    EXPECT_FALSE(Down(user::VK_SHIFT));
}

} // namespace
} // namespace quill
