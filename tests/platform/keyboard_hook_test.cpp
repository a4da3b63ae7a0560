#include "keyboard_test_support.h"

#include "platform/kernel/last_error.h"
#include "platform/user/key_state.h"
#include "platform/user/keyboard_hook.h"
#include "platform/user/us_layout.h"
#include "platform/user/window.h"

#include <string>
#include <vector>

namespace quill::user::testing {
namespace {

using KeyboardHook = KeyboardTest;

constexpr ULONG_PTR Marker = 0x51C0FFEE;

struct THookCall {
    char Hook;
    int Code;
    WPARAM Key;
    LPARAM Flags;
    ULONG_PTR Extra;
    bool KeyDown; // GetKeyState of the key itself inside the hook
};
std::vector<THookCall> gCalls;
HHOOK gHookA = nullptr;
HHOOK gHookB = nullptr;
LRESULT gAResult = 0;
bool gAUnhooksItself = false;
bool gAUnhooksB = false;

void Record(char hook, int code, WPARAM key, LPARAM flags) {
    gCalls.push_back(
        {hook, code, key, flags, GetMessageExtraInfo(), GetKeyState(static_cast<int>(key)) < 0});
}

LRESULT HookA(int code, WPARAM key, LPARAM flags) {
    Record('A', code, key, flags);
    if (gAUnhooksItself) UnhookWindowsHookEx(gHookA);
    if (gAUnhooksB) UnhookWindowsHookEx(gHookB);
    if (gAResult) return gAResult;
    return CallNextHookEx(nullptr, code, key, flags);
}

// Discards key-downs of X and of keys that carry no marker, as a capture holding keys does.
LRESULT HookB(int code, WPARAM key, LPARAM flags) {
    Record('B', code, key, flags);
    const bool keyDown = (static_cast<std::uint32_t>(flags) & 0x80000000u) == 0;
    if (code == HC_ACTION && keyDown && key == 'X' && GetMessageExtraInfo() != Marker) return 2;
    return CallNextHookEx(nullptr, code, key, flags);
}

void ResetHooks() {
    gCalls.clear();
    gHookA = gHookB = nullptr;
    gAResult = 0;
    gAUnhooksItself = gAUnhooksB = false;
}

std::string HookOrder() {
    std::string order;
    for (const auto& call : gCalls)
        order += call.Hook;
    return order;
}

TEST_F(KeyboardHook, KeyEventsFromAnotherThreadReachTheFocusThreadInThePlatformsForm) {
    OnFocusedThread([&] {
        std::thread([] {
            Press('Q', 0x1234);
            EXPECT_LT(GetAsyncKeyState('Q'), 0);
            Release('Q');
            Press(VK_MENU);
            Press('F');
            Release('F');
            Press(VK_CONTROL);
            Press('F');
            Release('F');
            Release(VK_CONTROL);
            Release(VK_MENU);
        }).join();
        EXPECT_EQ(GetAsyncKeyState('Q'), 0);
        MSG msg{};
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, WM_KEYDOWN);
        EXPECT_EQ(msg.wParam, WPARAM('Q'));
        EXPECT_EQ(msg.lParam, 0x00100001); // Q's scan code, as the keyboard gave it
        EXPECT_EQ(msg.hwnd, nullptr);
        EXPECT_EQ(msg.time, 5000u);
        EXPECT_EQ(GetMessageExtraInfo(), 0x1234u);
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, WM_KEYUP);
        EXPECT_EQ(static_cast<std::uint32_t>(msg.lParam), 0xC0100001u);
        EXPECT_EQ(GetMessageExtraInfo(), 0u);
        // Alt without Control makes system keys, with the Alt context bit; with Control, plain
        // keys.
        const std::vector<std::pair<UINT, WPARAM>> expected{
            {WM_SYSKEYDOWN, VK_MENU},  {WM_SYSKEYDOWN, 'F'},  {WM_SYSKEYUP, 'F'},
            {WM_KEYDOWN, VK_CONTROL},  {WM_KEYDOWN, 'F'},     {WM_KEYUP, 'F'},
            {WM_SYSKEYUP, VK_CONTROL}, {WM_SYSKEYUP, VK_MENU}};
        std::vector<std::pair<UINT, WPARAM>> seen;
        std::vector<LPARAM> flags;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            seen.emplace_back(msg.message, msg.wParam);
            flags.push_back(msg.lParam);
        }
        EXPECT_EQ(seen, expected);
        ASSERT_EQ(flags.size(), expected.size());
        EXPECT_EQ(static_cast<std::uint32_t>(flags[0]), 0x20380001u); // Alt's scan code, context
        EXPECT_EQ(static_cast<std::uint32_t>(flags[1]), 0x20210001u);
    });
}

LRESULT KeyWindowProc(HWND, UINT message, WPARAM key, LPARAM) {
    if (message == WM_KEYDOWN) gCalls.push_back({'W', 0, key, 0, 0, false});
    return 0;
}

TEST_F(KeyboardHook, FocusFollowsAWindowAndAKeyForAnEndedFocusIsLost) {
    ResetHooks();
    static const bool registered = [] {
        WNDCLASSA keyClass{0, &KeyWindowProc, "QuillTestKeyWindow"};
        return RegisterClassA(&keyClass) != 0;
    }();
    ASSERT_TRUE(registered);
    OnFocusedThread([&] {
        HWND window = CreateWindowExA(0, "QuillTestKeyWindow", "", 0, nullptr, nullptr);
        SetFocusThread(0);
        EXPECT_EQ(SetFocus(window), nullptr);
        EXPECT_EQ(GetFocus(), window);
        EXPECT_EQ(GetFocusThread(), GetCurrentThreadId());
        Press('K');
        Release('K');
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.hwnd, window);
        DispatchMessageA(&msg);
        ASSERT_EQ(gCalls.size(), 1u);
        EXPECT_EQ(gCalls[0].Key, WPARAM('K'));
        Drain();
        // Once the window is gone the thread still has the focus; its messages are thread messages.
        DestroyWindow(window);
        EXPECT_EQ(GetFocus(), nullptr);
        Press('K');
        Release('K');
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.hwnd, nullptr);
        Drain();
        EXPECT_EQ(SetFocus(reinterpret_cast<HWND>(0x1)), nullptr);
        EXPECT_EQ(kernel::GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    });
    // The focus thread has ended: the key changes the asynchronous state and goes nowhere.
    keybd_event('Z', 0, 0, 0);
    EXPECT_LT(GetAsyncKeyState('Z'), 0);
    keybd_event('Z', 0, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(GetAsyncKeyState('Z'), 0);
}

TEST_F(KeyboardHook, NewestHookRunsFirstAndANonZeroResultDiscardsTheKey) {
    ResetHooks();
    OnFocusedThread([&] {
        gHookA = SetWindowsHookExA(WH_KEYBOARD, &HookA, nullptr, GetCurrentThreadId());
        gHookB = SetWindowsHookExA(WH_KEYBOARD, &HookB, nullptr, GetCurrentThreadId());
        ASSERT_NE(gHookA, nullptr);
        ASSERT_NE(gHookB, nullptr);
        Press('X', 7);
        Release('X');
        Press('X', Marker);
        Release('X');
        MSG msg{};
        // The first key-down of X is discarded: retrieval goes on with its key-up.
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, WM_KEYUP);
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, WM_KEYDOWN);
        EXPECT_EQ(msg.extraInfo, Marker);
        EXPECT_EQ(HookOrder(), "BBABA");
        // Inside the hook the key itself reads as down on its key-down, and the extra information
        // is that of the key being examined.
        EXPECT_EQ(gCalls[0].Code, HC_ACTION);
        EXPECT_EQ(gCalls[0].Key, WPARAM('X'));
        EXPECT_EQ(gCalls[0].Flags, 0x002D0001);
        EXPECT_EQ(gCalls[0].Extra, 7u);
        EXPECT_TRUE(gCalls[0].KeyDown);
        EXPECT_FALSE(gCalls[1].KeyDown);
        EXPECT_EQ(gCalls[3].Extra, Marker);
        EXPECT_EQ(gCalls[4].Extra, Marker);
        Drain();
        // A's result comes back through B's CallNextHookEx.
        gAResult = 9;
        gCalls.clear();
        Release('X');
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(HookOrder(), "BA");
        gAResult = 0;
        // Messages other than the input path's keys do not pass the hooks.
        gCalls.clear();
        PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, 'X', 1);
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_TRUE(gCalls.empty());
        EXPECT_TRUE(UnhookWindowsHookEx(gHookA));
        EXPECT_TRUE(UnhookWindowsHookEx(gHookB));
        EXPECT_FALSE(UnhookWindowsHookEx(gHookB));
        EXPECT_EQ(kernel::GetLastError(), ERROR_INVALID_HOOK_HANDLE);
        Press('X');
        Release('X');
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(CallNextHookEx(nullptr, HC_ACTION, 'X', 0), 0); // no hook running
    });
}

TEST_F(KeyboardHook, UnhookingInsideAHookIsSafe) {
    ResetHooks();
    OnFocusedThread([&] {
        gHookB = SetWindowsHookExA(WH_KEYBOARD, &HookB, nullptr, GetCurrentThreadId());
        gHookA = SetWindowsHookExA(WH_KEYBOARD, &HookA, nullptr, GetCurrentThreadId());
        // A removes itself and passes on: B still runs for this key, A never again.
        gAUnhooksItself = true;
        Press('M');
        Drain();
        Release('M');
        Drain();
        EXPECT_EQ(HookOrder(), "ABB");
        EXPECT_TRUE(UnhookWindowsHookEx(gHookB));
        // A removes B, which comes after it, before passing on: B is not called.
        ResetHooks();
        gHookB = SetWindowsHookExA(WH_KEYBOARD, &HookB, nullptr, GetCurrentThreadId());
        gHookA = SetWindowsHookExA(WH_KEYBOARD, &HookA, nullptr, GetCurrentThreadId());
        gAUnhooksB = true;
        Press('X');
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)); // B would have discarded it
        EXPECT_EQ(msg.message, WM_KEYDOWN);
        EXPECT_EQ(HookOrder(), "A");
        gAUnhooksB = false;
        EXPECT_FALSE(UnhookWindowsHookEx(gHookB));
        EXPECT_TRUE(UnhookWindowsHookEx(gHookA));
        Release('X');
        Drain();
    });
}

TEST_F(KeyboardHook, PeekingWithoutRemovingCallsHooksWithNoRemove) {
    ResetHooks();
    OnFocusedThread([&] {
        gHookA = SetWindowsHookExA(WH_KEYBOARD, &HookA, nullptr, GetCurrentThreadId());
        Press('N');
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
        // Not retrieved yet: the thread's state has not seen the key.
        EXPECT_GE(GetKeyState('N'), 0);
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_LT(GetKeyState('N'), 0);
        ASSERT_EQ(gCalls.size(), 2u);
        EXPECT_EQ(gCalls[0].Code, HC_NOREMOVE);
        EXPECT_EQ(gCalls[1].Code, HC_ACTION);
        // A key discarded by a hook during a peek leaves the queue, and the state counts it.
        gAResult = 1;
        Release('N');
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_GE(GetKeyState('N'), 0);
        gAResult = 0;
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        UnhookWindowsHookEx(gHookA);
    });
}

TEST_F(KeyboardHook, HooksAreForOneLiveThreadOnly) {
    ResetHooks();
    EXPECT_EQ(SetWindowsHookExA(WH_KEYBOARD, &HookA, nullptr, 0), nullptr);
    EXPECT_EQ(kernel::GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(SetWindowsHookExA(13, &HookA, nullptr, GetCurrentThreadId()), nullptr);
    EXPECT_EQ(kernel::GetLastError(), ERROR_INVALID_HOOK_FILTER);
    EXPECT_EQ(SetWindowsHookExA(WH_KEYBOARD, nullptr, nullptr, GetCurrentThreadId()), nullptr);
    EXPECT_EQ(kernel::GetLastError(), ERROR_INVALID_FILTER_PROC);
    EXPECT_EQ(SetWindowsHookExA(WH_KEYBOARD, &HookA, nullptr, 0x7FFFFFF0), nullptr);
    EXPECT_EQ(kernel::GetLastError(), ERROR_INVALID_THREAD_ID);

    // A hook installed from another thread runs on the hooked thread, and only there.
    OnFocusedThread([&] {
        const DWORD self = GetCurrentThreadId();
        std::thread([&] {
            gHookA = SetWindowsHookExA(WH_KEYBOARD, &HookA, nullptr, self);
            EXPECT_NE(gHookA, nullptr);
            Press('H');
            MSG msg{};
            PostInputMessage(GetCurrentThreadId(), MSG{nullptr, WM_KEYUP, 'H', 0, 0, {}, 0});
            EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        }).join();
        EXPECT_TRUE(gCalls.empty());
        Drain();
        EXPECT_EQ(HookOrder(), "A");
    });
    // The hooked thread has ended; its hook is still a handle to remove.
    EXPECT_TRUE(UnhookWindowsHookEx(gHookA));
    Release('H');
}

// A thread that has already retrieved keys sees at its next key each hook that another thread
// installs for it or removes, however often it retrieved keys before.
TEST_F(KeyboardHook, HooksChangedByAnotherThreadTakeEffectAtTheNextKey) {
    ResetHooks();
    OnFocusedThread([&] {
        const DWORD self = GetCurrentThreadId();
        auto typeKey = [](BYTE key) {
            Press(key);
            Release(key);
            Drain();
        };
        typeKey('P'); // retrieved with no hook
        std::thread([&] { gHookA = SetWindowsHookExA(WH_KEYBOARD, &HookA, nullptr, self); }).join();
        typeKey('Q');
        std::thread([&] { gHookB = SetWindowsHookExA(WH_KEYBOARD, &HookB, nullptr, self); }).join();
        typeKey('R');
        std::thread([&] { EXPECT_TRUE(UnhookWindowsHookEx(gHookA)); }).join();
        typeKey('S');
        std::thread([&] { EXPECT_TRUE(UnhookWindowsHookEx(gHookB)); }).join();
        typeKey('T');
    });
    std::string seen;
    for (const auto& call : gCalls)
        seen += std::string(1, call.Hook) + static_cast<char>(call.Key) + ' ';
    EXPECT_EQ(seen, "AQ AQ BR AR BR AR BS BS ");
}

LRESULT ThrowingHook(int code, WPARAM key, LPARAM flags) {
    Record('T', code, key, flags);
    if (key == 'E') throw std::runtime_error("hook failed");
    return CallNextHookEx(nullptr, code, key, flags);
}

TEST_F(KeyboardHook, AHookThatThrowsLeavesTheChainUsable) {
    ResetHooks();
    OnFocusedThread([&] {
        gHookA = SetWindowsHookExA(WH_KEYBOARD, &HookA, nullptr, GetCurrentThreadId());
        const HHOOK thrower =
            SetWindowsHookExA(WH_KEYBOARD, &ThrowingHook, nullptr, GetCurrentThreadId());
        Press('E');
        Press('F');
        MSG msg{};
        EXPECT_THROW(GetMessageA(&msg, nullptr, 0, 0), std::runtime_error);
        // The failed key is gone; the next one passes the whole chain again.
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.wParam, WPARAM('F'));
        EXPECT_EQ(HookOrder(), "TTA");
        EXPECT_EQ(CallNextHookEx(nullptr, HC_ACTION, 'F', 0), 0); // no chain left running
        UnhookWindowsHookEx(thrower);
        UnhookWindowsHookEx(gHookA);
        Release('E');
        Release('F');
        Drain();
    });
}

} // namespace
} // namespace quill::user::testing
