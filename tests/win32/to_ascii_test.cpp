// Key conversion with the system's US English layout, under Wine: it agrees with the layout table
// (us_layout.h) from which the capture types the keys of a replay.
#include "platform/user/to_ascii.h"
#include "platform/user/us_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace quill::user::testing {
namespace {

// The capture replays a held character with the keystroke our table gives for it: the system's
// layout must type that character back. (In other modifier combinations the system's layout types
// more than the table - Control with keypad keys, Control+Shift with punctuation - which the
// capture never asks of it.)
TEST(Win32ToAscii, TheSystemsUsLayoutTypesEveryCharacterWithTheKeystrokeOurTableGives) {
    const HKL layout = LoadKeyboardLayoutA("00000409", 0);
    ASSERT_NE(layout, nullptr);
    std::string mismatches;
    int typed = 0;
    for (int c = 1; c < 0x7F; ++c) {
        const auto stroke = CharToKey(static_cast<char>(c));
        if (!stroke) continue;
        ++typed;
        BYTE state[256]{};
        if (stroke->Shift) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
        if (stroke->Control) state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
        WORD out[2] = {0xFFFF, 0xFFFF};
        const int n = ToAsciiEx(stroke->Key, 0, state, out, 0, layout);
        if (n != 1 || out[0] != c)
            mismatches += "char " + std::to_string(c) + ": key " + std::to_string(stroke->Key) +
                          " gives " + (n == 1 ? std::to_string(out[0]) : "nothing") + "\n";
    }
    EXPECT_GE(typed, 95 + 26) << "the printable characters and the control codes";
    EXPECT_EQ(mismatches, "");
}

// Caps Lock and Num Lock choose as the table says. (VK_DECIMAL is left out: with Num Lock off the
// system sends the keypad key as VK_DELETE, and its layout types "." for VK_DECIMAL regardless.)
TEST(Win32ToAscii, LockKeysChooseTheCharacterAsOurTableDoes) {
    const HKL layout = LoadKeyboardLayoutA("00000409", 0);
    for (const std::uint8_t key :
         {std::uint8_t{'A'}, std::uint8_t{'Z'}, std::uint8_t{'5'}, VK_NUMPAD0, VK_NUMPAD9}) {
        for (int mods = 0; mods < 8; ++mods) {
            const bool shift = mods & 1, capsLock = mods & 2, numLock = mods & 4;
            if (shift && key >= VK_NUMPAD0) continue; // Shift turns keypad digits into navigation
            BYTE state[256]{};
            if (shift) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
            if (capsLock) state[VK_CAPITAL] = 0x01;
            if (numLock) state[VK_NUMLOCK] = 0x01;
            WORD out[2] = {0, 0};
            const int n = ToAsciiEx(key, 0, state, out, 0, layout);
            EXPECT_EQ(n == 1 ? out[0] : 0,
                      static_cast<unsigned char>(KeyToChar(key, shift, capsLock, false, numLock)))
                << "key " << int(key) << " mods " << mods;
        }
    }
}

TEST(Win32ToAscii, NoCharacterForNoKeyStateOrBuffer) {
    const HKL layout = LoadKeyboardLayoutA("00000409", 0);
    BYTE state[256]{};
    WORD out[2] = {0xFFFF, 0};
    EXPECT_EQ(ToAsciiEx('A', 0, nullptr, out, 0, layout), 0);
    EXPECT_EQ(out[0], 0u) << "the buffer is cleared";
    EXPECT_EQ(ToAsciiEx('A', 0, state, nullptr, 0, layout), 0);
    EXPECT_EQ(ToAsciiEx(0x141, 0, state, out, 0, layout), 0);
    EXPECT_EQ(LoadKeyboardLayoutA(nullptr, 0), nullptr);
}

} // namespace
} // namespace quill::user::testing
