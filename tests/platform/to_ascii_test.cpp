#include "keyboard_test_support.h"

#include "platform/kernel/last_error.h"
#include "platform/user/key_state.h"
#include "platform/user/to_ascii.h"
#include "platform/user/us_layout.h"

#include <array>

namespace quill::user::testing {
namespace {

struct TMods {
    bool Shift = false;
    bool Control = false;
    bool Alt = false;
    bool Caps = false;
    bool NumLock = false;
};

int Convert(UINT key, TMods mods, HKL layout = nullptr) {
    std::array<BYTE, 256> state{};
    if (mods.Shift) state[VK_SHIFT] = 0x80;
    if (mods.Control) state[VK_CONTROL] = 0x80;
    if (mods.Alt) state[VK_MENU] = 0x80;
    if (mods.Caps) state[VK_CAPITAL] = 0x01;
    if (mods.NumLock) state[VK_NUMLOCK] = 0x01;
    WORD out[2] = {0xFFFF, 0xFFFF};
    const int count = ToAsciiEx(key, 0, state.data(), out, 0, layout);
    EXPECT_EQ(count, out[0] != 0 ? 1 : 0) << "key " << key;
    EXPECT_EQ(out[1], 0xFFFF) << "one character at most";
    return out[0];
}

TEST(ToAscii, UsEnglishLayout) {
    const TMods none, shift{true}, caps{false, false, false, true},
        shiftCaps{true, false, false, true};
    const TMods ctrl{false, true}, ctrlShift{true, true}, alt{false, false, true},
        ctrlAlt{false, true, true};
    EXPECT_EQ(Convert('A', none), 'a');
    EXPECT_EQ(Convert('A', shift), 'A');
    EXPECT_EQ(Convert('Z', caps), 'Z');
    EXPECT_EQ(Convert('Z', shiftCaps), 'z');
    EXPECT_EQ(Convert('5', caps), '5'); // Caps Lock is for letters only
    EXPECT_EQ(Convert('1', shift), '!');
    EXPECT_EQ(Convert('0', shift), ')');
    EXPECT_EQ(Convert(0xBB, shift), '+');
    EXPECT_EQ(Convert(0xDE, none), '\'');
    EXPECT_EQ(Convert(0xDE, shift), '"');
    EXPECT_EQ(Convert(0xC0, shift), '~');
    EXPECT_EQ(Convert(VK_RETURN, none), 13);
    EXPECT_EQ(Convert(VK_TAB, shift), 9);
    EXPECT_EQ(Convert(VK_BACK, none), 8);
    EXPECT_EQ(Convert(VK_ESCAPE, none), 27);
    EXPECT_EQ(Convert(VK_SPACE, shift), ' ');
    EXPECT_EQ(Convert('C', ctrl), 3);
    EXPECT_EQ(Convert('Z', ctrlShift), 26);
    EXPECT_EQ(Convert(0xDB, ctrl), 27);
    EXPECT_EQ(Convert(VK_RETURN, ctrl), 10);
    EXPECT_EQ(Convert(VK_BACK, ctrl), 127);
    EXPECT_EQ(Convert('6', ctrlShift), 30);
    EXPECT_EQ(Convert(0xBD, ctrlShift), 31);
    EXPECT_EQ(Convert('6', ctrl), 0);
    EXPECT_EQ(Convert(0xDB, ctrlShift), 0);
    EXPECT_EQ(Convert(VK_TAB, ctrl), 0);
    EXPECT_EQ(Convert('1', ctrl), 0);
    EXPECT_EQ(Convert('F', alt), 'f');   // Alt alone does not change the character
    EXPECT_EQ(Convert('F', ctrlAlt), 0); // no AltGr characters in this layout
    for (UINT key :
         {0x25u, 0x28u, 0x70u, UINT(VK_SHIFT), UINT(VK_CONTROL), UINT(VK_CAPITAL), 0x2Eu})
        EXPECT_EQ(Convert(key, none), 0) << key;
}

// Scanners send digits from the keypad: with Num Lock on they type what the main block types.
TEST(ToAscii, KeypadFollowsNumLock) {
    const TMods on{false, false, false, false, true}, off{};
    const TMods shiftOn{true, false, false, false, true}, ctrlOn{false, true, false, false, true};
    for (int d = 0; d <= 9; ++d) {
        EXPECT_EQ(Convert(VK_NUMPAD0 + d, on), Convert('0' + d, {})) << d;
        EXPECT_EQ(Convert(VK_NUMPAD0 + d, shiftOn), '0' + d) << d;
        EXPECT_EQ(Convert(VK_NUMPAD0 + d, off), 0) << d; // a navigation key
        EXPECT_EQ(Convert(VK_NUMPAD0 + d, ctrlOn), 0) << d;
    }
    EXPECT_EQ(Convert(VK_DECIMAL, on), '.');
    EXPECT_EQ(Convert(VK_DECIMAL, off), 0);
    for (const TMods& mods : {on, off, shiftOn}) {
        EXPECT_EQ(Convert(VK_DIVIDE, mods), '/');
        EXPECT_EQ(Convert(VK_MULTIPLY, mods), '*');
        EXPECT_EQ(Convert(VK_SUBTRACT, mods), '-');
        EXPECT_EQ(Convert(VK_ADD, mods), '+');
        EXPECT_EQ(Convert(VK_RETURN, mods), 13); // keypad Enter is VK_RETURN, extended
    }
    EXPECT_EQ(Convert(VK_NUMLOCK, on), 0);
    EXPECT_EQ(Convert(VK_NUMPAD0 + 5, TMods{false, false, true, false, true}), 0); // Alt code
}

TEST(ToAscii, EveryTypeableCharacterComesBackFromItsKeystroke) {
    for (int c = 1; c < 128; ++c) {
        const auto stroke = CharToKey(static_cast<char>(c));
        if (!stroke) continue;
        EXPECT_EQ(Convert(stroke->Key, TMods{stroke->Shift, stroke->Control}), c) << c;
    }
    for (char c : std::string("azAZ09 !~\r\t\b\x1b\x01"))
        EXPECT_TRUE(CharToKey(c)) << int(c);
}

TEST(ToAscii, LayoutsAndBadArguments) {
    const HKL us = LoadKeyboardLayoutA("00000409", KLF_ACTIVATE);
    ASSERT_NE(us, nullptr);
    EXPECT_EQ(GetKeyboardLayout(0), us);
    EXPECT_EQ(Convert('Q', {}, us), 'q');
    EXPECT_EQ(LoadKeyboardLayoutA("00000419", KLF_ACTIVATE), nullptr);
    EXPECT_EQ(kernel::GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(LoadKeyboardLayoutA("0000040", 0), nullptr);
    EXPECT_EQ(LoadKeyboardLayoutA(nullptr, 0), nullptr);
    EXPECT_EQ(Convert('Q', {}, reinterpret_cast<HKL>(0x04190419)), 0);
    std::array<BYTE, 256> state{};
    WORD out[1] = {0xFFFF};
    EXPECT_EQ(ToAsciiEx('Q', 0, nullptr, out, 0, us), 0);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(ToAsciiEx('Q', 0, state.data(), nullptr, 0, us), 0);
    EXPECT_EQ(ToAsciiEx(0x141, 0, state.data(), out, 0, us), 0);
}

using TranslateKeys = KeyboardTest;

TEST_F(TranslateKeys, TranslateMessageUsesTheThreadsKeyState) {
    OnFocusedThread([&] {
        Press(VK_SHIFT);
        Press('G');
        Press(VK_F1);
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_FALSE(TranslateMessage(&msg)); // Shift itself makes no character
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        ASSERT_TRUE(TranslateMessage(&msg));
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_CHAR); // posted, so ahead of the input still queued
        EXPECT_EQ(msg.wParam, WPARAM('G'));
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_FALSE(TranslateMessage(&msg));
        Release(VK_F1);
        Release('G');
        Release(VK_SHIFT);
        Drain();
    });
}

// Alt with keypad digits enters one character when Alt is released: Windows-1251 with a leading
// zero, code page 866 without; other keys abandon the code; Alt with other keys is unchanged.
TEST_F(TranslateKeys, AltCodesEnterTheirCharacterWhenAltIsReleased) {
    OnFocusedThread([&] {
        std::u16string typed;
        auto pump = [&] {
            MSG msg{};
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                if (msg.message == WM_CHAR) typed.push_back(static_cast<char16_t>(msg.wParam));
                if (msg.message == WM_SYSCHAR) typed += u"<" + std::u16string(1, msg.wParam) + u">";
            }
        };
        auto altCode = [&](const char* digits, BYTE alt = VK_LMENU) {
            Press(alt);
            Press(alt); // auto-repeat of Alt does not abandon the code
            for (const char* d = digits; *d; ++d) {
                Press(static_cast<BYTE>(VK_NUMPAD0 + (*d - '0')));
                Release(static_cast<BYTE>(VK_NUMPAD0 + (*d - '0')));
            }
            Release(alt);
            pump();
        };
        altCode("052");
        altCode("0050", VK_RMENU);
        altCode("0192"); // Windows-1251: А
        altCode("128");  // code page 866: А
        altCode("0241"); // Windows-1251: с
        altCode("241");  // code page 866: ё
        altCode("065");  // 65 in code page 866 is A too
        altCode("321");  // modulo 256: 65
        altCode("0");    // nothing
        EXPECT_EQ(typed, u"42ААсёAA");
        typed.clear();
        Press(VK_LMENU);
        Press(VK_NUMPAD0 + 6);
        Press('F'); // abandons the code: Alt+F stays what it is
        Release('F');
        Release(VK_NUMPAD0 + 6);
        Release(VK_LMENU);
        pump();
        EXPECT_EQ(typed, u"<f>");
        // With Num Lock off the keypad's keys come as navigation keys: not extended, they are the
        // keypad's and still compose the code; the separate navigation block's keys (extended)
        // abandon it.
        typed.clear();
        auto keypad = [](BYTE key, DWORD extended) {
            keybd_event(key, 0x47, extended, 0);
            keybd_event(key, 0x47, extended | KEYEVENTF_KEYUP, 0);
        };
        Press(VK_LMENU);
        for (BYTE key : {VK_INSERT, VK_END, VK_PRIOR, VK_NEXT}) keypad(key, 0); // 0 1 9 3
        Release(VK_LMENU);
        pump();
        EXPECT_EQ(typed, u"Б"); // Windows-1251
        typed.clear();
        Press(VK_LMENU);
        keypad(VK_NUMPAD0 + 6, 0);
        keypad(VK_HOME, KEYEVENTF_EXTENDEDKEY);
        Release(VK_LMENU);
        pump();
        EXPECT_EQ(typed, u"");
    });
}

} // namespace
} // namespace quill::user::testing
