#include "keyboard_test_support.h"

#include "platform/user/key_state.h"
#include "platform/user/us_layout.h"

#include <array>

namespace quill::user::testing {
namespace {

using KeyState = KeyboardTest;

bool Down(int key) {
    return GetKeyState(key) < 0;
}

TEST_F(KeyState, ThreadStateFollowsRetrievalWhileAsyncStateFollowsInput) {
    OnFocusedThread([&] {
        Press(VK_SHIFT);
        Press('A');
        EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
        EXPECT_FALSE(Down(VK_SHIFT));
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_TRUE(Down(VK_SHIFT));
        EXPECT_TRUE(Down(VK_LSHIFT));
        EXPECT_FALSE(Down('A'));
        // The low byte has bit 0x80 too, as code that masks it expects.
        EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x80, 0x80);
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        std::array<BYTE, 256> state{};
        ASSERT_TRUE(GetKeyboardState(state.data()));
        EXPECT_EQ(state[VK_SHIFT] & 0x80, 0x80);
        EXPECT_EQ(state['A'] & 0x80, 0x80);
        EXPECT_EQ(state['B'] & 0x80, 0);
        // Another thread's state is its own.
        std::thread([] { EXPECT_FALSE(Down(VK_SHIFT)); }).join();
        Release('A');
        Release(VK_SHIFT);
        Drain();
        EXPECT_FALSE(Down(VK_SHIFT));
        EXPECT_FALSE(Down('A'));
        EXPECT_FALSE(GetKeyboardState(nullptr));
        EXPECT_EQ(GetKeyState(-1), 0);
        EXPECT_EQ(GetKeyState(256), 0);
        EXPECT_EQ(GetAsyncKeyState(300), 0);
    });
}

TEST_F(KeyState, EitherSideKeepsTheModifierDownAndTheSideIsTold) {
    OnFocusedThread([&] {
        Press(VK_LSHIFT);
        Press(VK_RSHIFT);
        Release(VK_LSHIFT);
        Drain();
        EXPECT_TRUE(Down(VK_SHIFT));
        EXPECT_TRUE(Down(VK_RSHIFT));
        EXPECT_FALSE(Down(VK_LSHIFT));
        Release(VK_RSHIFT);
        // Right Control comes as VK_CONTROL with the extended flag.
        keybd_event(VK_CONTROL, 0x1D, KEYEVENTF_EXTENDEDKEY, 0);
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)); // Shift up
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.wParam, WPARAM(VK_CONTROL));
        EXPECT_EQ(static_cast<std::uint32_t>(msg.lParam), 0x011D0001u);
        EXPECT_FALSE(Down(VK_SHIFT));
        EXPECT_TRUE(Down(VK_CONTROL));
        EXPECT_TRUE(Down(VK_RCONTROL));
        EXPECT_FALSE(Down(VK_LCONTROL));
        Release(VK_RCONTROL);
        Drain();
        EXPECT_FALSE(Down(VK_CONTROL));
        EXPECT_EQ(GetAsyncKeyState(VK_CONTROL), 0);
    });
}

// A key entered without a scan code carries none in its message (which is how a hook tells it
// from a keyboard's); a right Shift entered so is marked extended and keeps its side.
TEST_F(KeyState, AKeyWithoutAScanCodeCarriesNoneAndTheRightShiftKeepsItsSide) {
    OnFocusedThread([&] {
        keybd_event('A', 0, 0, 0);
        keybd_event(VK_RSHIFT, 0, 0, 0);
        Press('B');
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(static_cast<std::uint32_t>(msg.lParam) & 0x01FF0000u, 0u);
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.wParam, WPARAM(VK_SHIFT));
        EXPECT_EQ(static_cast<std::uint32_t>(msg.lParam) & 0x01FF0000u, 0x01000000u)
            << "no scan code, the extended flag";
        EXPECT_TRUE(Down(VK_RSHIFT));
        EXPECT_FALSE(Down(VK_LSHIFT));
        EXPECT_LT(GetAsyncKeyState(VK_RSHIFT), 0);
        EXPECT_EQ(GetAsyncKeyState(VK_LSHIFT), 0);
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ((static_cast<std::uint32_t>(msg.lParam) >> 16) & 0xFF, 0x30u) << "B's own";
        keybd_event(VK_RSHIFT, 0, KEYEVENTF_KEYUP, 0);
        Drain();
        EXPECT_FALSE(Down(VK_SHIFT));
        EXPECT_FALSE(Down(VK_RSHIFT));
        Release('A');
        Release('B');
        Drain();
    });
}

TEST_F(KeyState, CapsLockTogglesOnPressesNotOnRepeats) {
    OnFocusedThread([&] {
        const bool before = (GetKeyState(VK_CAPITAL) & 1) != 0;
        Press(VK_CAPITAL);
        Press(VK_CAPITAL); // auto-repeat: previous-state bit set, no toggle
        Release(VK_CAPITAL);
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ((static_cast<std::uint32_t>(msg.lParam) >> 30) & 1, 0u);
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ((static_cast<std::uint32_t>(msg.lParam) >> 30) & 1, 1u);
        Drain();
        EXPECT_NE((GetKeyState(VK_CAPITAL) & 1) != 0, before);
        EXPECT_FALSE(Down(VK_CAPITAL));
        Press(VK_CAPITAL);
        Release(VK_CAPITAL);
        Drain();
        EXPECT_EQ((GetKeyState(VK_CAPITAL) & 1) != 0, before);
    });
}

} // namespace
} // namespace quill::user::testing
