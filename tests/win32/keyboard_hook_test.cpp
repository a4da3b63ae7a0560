// The thread keyboard hook, key state and synthetic keys over the system's input, under Wine: keys
// entered with keybd_event and SendInput reach the focused test window through the hook.
#include "win32/focus_window.h"

#include "platform/kernel/last_error.h"
#include "platform/user/key_state.h"
#include "platform/user/keyboard_hook.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/clock.h"
#include "platform/user/message_queue.h"
#include "platform/user/virtual_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace quill::user::testing {
namespace {

constexpr ULONG_PTR Marker = 0x51554C4C;

struct THookCall {
    int Code;
    WPARAM Key;
    LPARAM Flags;
    bool KeyDown;    // GetKeyState of the key itself inside the hook
    bool RightShift; // GetKeyState(VK_RSHIFT) inside the hook
};
std::vector<THookCall> gCalls;
LRESULT gHoldX = 0; // what the hook answers for a key-down of X

LRESULT CALLBACK RecordingHook(int code, WPARAM key, LPARAM flags) {
    if (code == HC_ACTION)
        gCalls.push_back(
            {code, key, flags, GetKeyState(static_cast<int>(key)) < 0, GetKeyState(VK_RSHIFT) < 0});
    const bool keyDown = (static_cast<std::uint32_t>(flags) & 0x80000000u) == 0;
    if (code == HC_ACTION && keyDown && key == 'X' && gHoldX) return gHoldX;
    return CallNextHookEx(nullptr, code, key, flags);
}

bool IsRelease(LPARAM flags) {
    return (static_cast<std::uint32_t>(flags) & 0x80000000u) != 0;
}
unsigned ScanCode(LPARAM flags) {
    return (static_cast<std::uint32_t>(flags) >> 16) & 0xFF;
}
bool Extended(LPARAM flags) {
    return (static_cast<std::uint32_t>(flags) >> 24) & 1;
}

class Win32Keyboard : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FWindow.Ready()) << "the test window did not get the keyboard focus";
        FWindow.Drain();
        FWindow.Received.clear();
        gCalls.clear();
        gHoldX = 0;
    }
    void TearDown() override {
        if (FHook) UnhookWindowsHookEx(FHook);
        FWindow.Drain();
    }
    void Hook() {
        FHook = SetWindowsHookExA(WH_KEYBOARD, &RecordingHook, nullptr, GetCurrentThreadId());
        ASSERT_NE(FHook, nullptr);
    }
    static void Tap(BYTE key, ULONG_PTR extra = 0) {
        keybd_event(key, 0, 0, extra);
        keybd_event(key, 0, KEYEVENTF_KEYUP, extra);
    }
    // Pumps until the window has the release of `key`.
    bool PumpUntilReleased(WPARAM key) {
        return FWindow.PumpUntil([&] {
            return std::any_of(FWindow.Received.begin(), FWindow.Received.end(), [&](const MSG& m) {
                return m.wParam == key && IsRelease(m.lParam);
            });
        });
    }
    std::vector<UINT> ReceivedOf(WPARAM key, UINT message) const {
        std::vector<UINT> found;
        for (const MSG& m : FWindow.Received)
            if (m.wParam == key && m.message == message) found.push_back(m.message);
        return found;
    }

    test::TFocusWindow& FWindow = test::TFocusWindow::OfThisProgram();
    HHOOK FHook = nullptr;
};

// The hook tells a key entered without a scan code (a program's) from a keyboard's by lParam
// alone: the scan code goes in as given, 0 included.
TEST_F(Win32Keyboard, TheThreadHookSeesEachKeyWithItsScanCodeAndStateAndAHeldKeyNeverArrives) {
    Hook();
    gHoldX = 1;
    Tap('X', Marker);
    keybd_event('Y', 0x15, 0, 0); // as a keyboard types Y
    keybd_event('Y', 0x15, KEYEVENTF_KEYUP, 0);
    ASSERT_TRUE(PumpUntilReleased('Y'));

    ASSERT_EQ(gCalls.size(), 4u);
    EXPECT_EQ(gCalls[0].Key, WPARAM{'X'});
    EXPECT_FALSE(IsRelease(gCalls[0].Flags));
    EXPECT_EQ(ScanCode(gCalls[0].Flags), 0u) << "entered without a scan code";
    EXPECT_TRUE(gCalls[0].KeyDown) << "the thread's key state includes the key the hook sees";
    EXPECT_EQ(gCalls[1].Key, WPARAM{'X'});
    EXPECT_TRUE(IsRelease(gCalls[1].Flags));
    EXPECT_FALSE(gCalls[1].KeyDown);
    EXPECT_EQ(gCalls[2].Key, WPARAM{'Y'});
    EXPECT_EQ(ScanCode(gCalls[2].Flags), 0x15u);
    EXPECT_TRUE(gCalls[2].KeyDown);

    // The held key-down never reached the window; everything else did, and only Y typed.
    EXPECT_TRUE(ReceivedOf('X', WM_KEYDOWN).empty());
    EXPECT_EQ(ReceivedOf('X', WM_KEYUP).size(), 1u);
    EXPECT_EQ(ReceivedOf('Y', WM_KEYDOWN).size(), 1u);
    EXPECT_TRUE(ReceivedOf('x', WM_CHAR).empty());
    EXPECT_EQ(ReceivedOf('y', WM_CHAR).size(), 1u);
}

TEST_F(Win32Keyboard, AKeyRetrievedCarriesItsExtraInformationWord) {
    keybd_event('Q', 0, 0, Marker);
    MSG msg{};
    // Taken here, not by the window's pump: the word belongs to the retrieved message.
    const std::uint64_t deadline = GetTickCount64() + 2000;
    while (!PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE) &&
           GetTickCount64() < deadline)
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    EXPECT_EQ(msg.wParam, WPARAM{'Q'});
    EXPECT_EQ(msg.extraInfo, Marker);
    EXPECT_EQ(GetMessageExtraInfo(), Marker);
    keybd_event('Q', 0, KEYEVENTF_KEYUP, 0);
}

TEST_F(Win32Keyboard, UnhookedTheHookIsNoLongerCalledAndItsHandleIsGone) {
    Hook();
    gHoldX = 1;
    ASSERT_TRUE(UnhookWindowsHookEx(FHook));
    EXPECT_FALSE(UnhookWindowsHookEx(FHook));
    FHook = nullptr;
    Tap('X');
    ASSERT_TRUE(PumpUntilReleased('X'));
    EXPECT_TRUE(gCalls.empty());
    EXPECT_EQ(ReceivedOf('X', WM_KEYDOWN).size(), 1u);
}

// A second chain for the order of calls: the newest hook first, CallNextHookEx onwards.
std::string gOrder;
HHOOK gOlder = nullptr, gNewer = nullptr;
bool gNewerUnhooksItself = false;
bool gNewerThrows = false;

LRESULT CALLBACK OlderHook(int code, WPARAM key, LPARAM flags) {
    if (code == HC_ACTION && !IsRelease(flags)) gOrder += 'O';
    return CallNextHookEx(gOlder, code, key, flags);
}

LRESULT CALLBACK NewerHook(int code, WPARAM key, LPARAM flags) {
    if (code == HC_ACTION && !IsRelease(flags)) {
        gOrder += 'N';
        if (gNewerUnhooksItself) UnhookWindowsHookEx(gNewer);
        if (gNewerThrows) throw std::runtime_error("hook failed");
    }
    return CallNextHookEx(gNewer, code, key, flags);
}

TEST_F(Win32Keyboard, TheNewestHookRunsFirstAndMayRemoveItselfOrFailWithoutLosingTheKey) {
    gOrder.clear();
    gNewerUnhooksItself = gNewerThrows = false;
    gOlder = SetWindowsHookExA(WH_KEYBOARD, &OlderHook, nullptr, GetCurrentThreadId());
    gNewer = SetWindowsHookExA(WH_KEYBOARD, &NewerHook, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(gOlder && gNewer);
    Tap('A');
    ASSERT_TRUE(PumpUntilReleased('A'));
    EXPECT_EQ(gOrder, "NO");

    gNewerThrows = true;
    Tap('B');
    ASSERT_TRUE(PumpUntilReleased('B'));
    EXPECT_EQ(gOrder, "NON") << "the failing hook stops the chain";
    EXPECT_EQ(ReceivedOf('B', WM_KEYDOWN).size(), 1u) << "and the key passes on";

    gNewerThrows = false;
    gNewerUnhooksItself = true;
    Tap('C');
    Tap('D');
    ASSERT_TRUE(PumpUntilReleased('D'));
    EXPECT_EQ(gOrder, "NONNOO") << "the running call goes on; the removed hook is not called again";
    EXPECT_FALSE(UnhookWindowsHookEx(gNewer));
    EXPECT_TRUE(UnhookWindowsHookEx(gOlder));
}

TEST_F(Win32Keyboard, OnlyThreadKeyboardHooksAreInstalled) {
    kernel::SetLastError(0);
    EXPECT_EQ(SetWindowsHookExA(WH_KEYBOARD, &RecordingHook, nullptr, 0), nullptr);
    EXPECT_EQ(kernel::GetLastError(), ERROR_NOT_SUPPORTED)
        << "a system-wide hook would enter every process";
    EXPECT_EQ(SetWindowsHookExA(7 /* WH_MOUSE */, &RecordingHook, nullptr, GetCurrentThreadId()),
              nullptr);
    EXPECT_EQ(kernel::GetLastError(), ERROR_INVALID_HOOK_FILTER);
    EXPECT_EQ(SetWindowsHookExA(WH_KEYBOARD, nullptr, nullptr, GetCurrentThreadId()), nullptr);
    EXPECT_EQ(kernel::GetLastError(), ERROR_INVALID_FILTER_PROC);
}

// Without a scan code the right Shift is entered with the extended flag, which keeps it on its
// side: without it Wine acts on the left Shift, and a left Shift pressed that way by a replay
// stays down. The hook sees no scan code (and under Wine no extended flag either).
TEST_F(Win32Keyboard, SidedModifiersWithoutAScanCodeKeepTheirSide) {
    Hook();
    INPUT inputs[2]{};
    const BYTE keys[2] = {VK_RSHIFT, VK_RCONTROL};
    for (int i = 0; i < 2; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[i]; // no scan code, no extended flag
    }
    ASSERT_EQ(SendInput(2, inputs, sizeof(INPUT)), 2u);
    ASSERT_TRUE(FWindow.PumpUntil([] { return GetKeyState(VK_CONTROL) < 0; }));
    EXPECT_LT(GetKeyState(VK_RSHIFT), 0);
    EXPECT_GE(GetKeyState(VK_LSHIFT), 0);
    EXPECT_LT(GetAsyncKeyState(VK_RSHIFT), 0);
    EXPECT_EQ(GetAsyncKeyState(VK_LSHIFT), 0);
    EXPECT_LT(GetKeyState(VK_RCONTROL), 0);
    for (INPUT& input : inputs)
        input.ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(2, inputs, sizeof(INPUT)), 2u);
    ASSERT_TRUE(PumpUntilReleased(VK_CONTROL));

    ASSERT_EQ(gCalls.size(), 4u);
    EXPECT_EQ(gCalls[0].Key, WPARAM{VK_SHIFT});
    EXPECT_EQ(ScanCode(gCalls[0].Flags), 0u);
    EXPECT_EQ(gCalls[1].Key, WPARAM{VK_CONTROL});
    EXPECT_TRUE(Extended(gCalls[1].Flags)) << "the right Control is an extended key";
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    EXPECT_EQ(GetAsyncKeyState(VK_SHIFT), 0);
    EXPECT_EQ(GetAsyncKeyState(VK_CONTROL), 0);
}

TEST_F(Win32Keyboard, SendInputRefusesWhatIsNoKeyboardEventAndEntersNothing) {
    Hook();
    INPUT inputs[2]{};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = 'X';
    inputs[1].type = 0; // a mouse event
    kernel::SetLastError(0);
    EXPECT_EQ(SendInput(2, inputs, sizeof(INPUT)), 0u);
    EXPECT_EQ(kernel::GetLastError(), ERROR_INVALID_PARAMETER);
    inputs[1].type = INPUT_KEYBOARD;
    inputs[1].ki.wVk = 0x1FF;
    EXPECT_EQ(SendInput(2, inputs, sizeof(INPUT)), 0u);
    EXPECT_EQ(SendInput(1, inputs, sizeof(INPUT) - 1), 0u);
    EXPECT_EQ(SendInput(1, nullptr, sizeof(INPUT)), 0u);
    FWindow.Drain();
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(Win32Keyboard, KeyStateFollowsTheKeysTheThreadRetrieved) {
    keybd_event(VK_LSHIFT, 0, 0, 0);
    EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0) << "the input's state changes at once";
    ASSERT_TRUE(FWindow.PumpUntil([] { return GetKeyState(VK_SHIFT) < 0; }));
    BYTE state[256]{};
    ASSERT_TRUE(GetKeyboardState(state));
    EXPECT_TRUE(state[VK_SHIFT] & 0x80);
    EXPECT_TRUE(state[VK_LSHIFT] & 0x80);
    EXPECT_FALSE(state[VK_RSHIFT] & 0x80);
    keybd_event(VK_LSHIFT, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(GetAsyncKeyState(VK_SHIFT), 0);
    ASSERT_TRUE(FWindow.PumpUntil([] { return GetKeyState(VK_SHIFT) >= 0; }));

    // Caps Lock's toggle flips on each press.
    const bool capsLock = (GetKeyState(VK_CAPITAL) & 0x01) != 0;
    Tap(VK_CAPITAL);
    ASSERT_TRUE(PumpUntilReleased(VK_CAPITAL));
    EXPECT_EQ((GetKeyState(VK_CAPITAL) & 0x01) != 0, !capsLock);
    Tap(VK_CAPITAL);
    FWindow.Received.clear();
    ASSERT_TRUE(PumpUntilReleased(VK_CAPITAL));
    EXPECT_EQ((GetKeyState(VK_CAPITAL) & 0x01) != 0, capsLock);

    EXPECT_EQ(GetKeyState(300), 0);
    EXPECT_EQ(GetAsyncKeyState(-1), 0);
    EXPECT_FALSE(GetKeyboardState(nullptr));
}

} // namespace
} // namespace quill::user::testing
