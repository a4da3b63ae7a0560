// X11 keysyms to the US keyboard's keys, checked against the layout's own inverse (CharToKey)
// and the evdev key map, so that the three tables cannot drift apart unnoticed.
#include "platform/user/evdev_keymap.h"
#include "platform/user/keysym_keys.h"
#include "platform/user/us_layout.h"
#include "platform/user/virtual_keys.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace quill::user {
namespace {

std::optional<TEvdevKey> KeyOf(std::uint32_t keysym) {
    const auto code = KeysymToEvdevKey(keysym);
    return code ? EvdevKeyToVirtualKey(*code) : std::nullopt;
}

TEST(KeysymKeys, EveryPrintableCharacterIsTheKeyTheLayoutTypesItWith) {
    for (int c = 0x20; c <= 0x7E; ++c) {
        const auto stroke = CharToKey(static_cast<char>(c));
        ASSERT_TRUE(stroke) << c;
        const auto key = KeyOf(static_cast<std::uint32_t>(c));
        ASSERT_TRUE(key) << "keysym " << c;
        EXPECT_EQ(key->VirtualKey, stroke->Key) << "keysym '" << char(c) << "'";
        EXPECT_FALSE(key->Extended);
    }
}

TEST(KeysymKeys, KeypadKeysAreTheSameKeyWhateverNumLockSays) {
    const std::pair<std::uint32_t, std::uint32_t> pairs[] = {
        {0xFFB7, 0xFF95}, {0xFFB4, 0xFF96}, {0xFFB8, 0xFF97}, {0xFFB6, 0xFF98},
        {0xFFB2, 0xFF99}, {0xFFB9, 0xFF9A}, {0xFFB3, 0xFF9B}, {0xFFB1, 0xFF9C},
        {0xFFB5, 0xFF9D}, {0xFFB0, 0xFF9E}, {0xFFAE, 0xFF9F}};
    for (const auto& [digit, navigation] : pairs) {
        ASSERT_TRUE(KeysymToEvdevKey(digit)) << std::hex << digit;
        EXPECT_EQ(KeysymToEvdevKey(digit), KeysymToEvdevKey(navigation)) << std::hex << digit;
    }
    EXPECT_EQ(KeyOf(0xFFB5)->VirtualKey, VK_NUMPAD0 + 5);
    // Keypad Enter is Enter with the extended flag, not the main Enter.
    EXPECT_EQ(KeyOf(0xFF8D)->VirtualKey, VK_RETURN);
    EXPECT_TRUE(KeyOf(0xFF8D)->Extended);
    EXPECT_FALSE(KeyOf(0xFF0D)->Extended);
}

TEST(KeysymKeys, ModifiersKeepTheirSideAndAltGrIsTheRightAlt) {
    EXPECT_EQ(KeyOf(0xFFE1)->VirtualKey, VK_LSHIFT);
    EXPECT_EQ(KeyOf(0xFFE2)->VirtualKey, VK_RSHIFT);
    EXPECT_EQ(KeyOf(0xFFE3)->VirtualKey, VK_LCONTROL);
    EXPECT_EQ(KeyOf(0xFFE4)->VirtualKey, VK_RCONTROL);
    EXPECT_TRUE(KeyOf(0xFFE4)->Extended);
    EXPECT_EQ(KeyOf(0xFFE9)->VirtualKey, VK_LMENU);
    EXPECT_EQ(KeysymToEvdevKey(0xFE03), KEY_RIGHTALT);
    EXPECT_EQ(KeyOf(0xFFE5)->VirtualKey, VK_CAPITAL);
    EXPECT_EQ(KeyOf(0xFF7F)->VirtualKey, VK_NUMLOCK);
    EXPECT_EQ(KeyOf(0xFE20)->VirtualKey, VK_TAB); // Shift+Tab
    EXPECT_EQ(KeyOf(0xFFC9)->VirtualKey, VK_F1 + 11);
    EXPECT_EQ(KeyOf(0xFFD5)->VirtualKey, VK_F24);
}

TEST(KeysymKeys, KeysOfNoUsKeyGiveNothing) {
    const std::uint32_t foreign[] = {0x00,
                                     0x1F,
                                     0x7F, // no characters
                                     0xE9,
                                     0x6C1,
                                     0x20AC, // é, a Cyrillic keysym, the euro sign
                                     0xFE51,
                                     0xFE52, // dead acute, dead circumflex
                                     0x1008FF14,
                                     0x1008FF13, // multimedia: play, volume up
                                     0xFF20,
                                     0xFF7E,              // Multi_key (compose), Mode_switch
                                     0x01000000 + 0x263A, // a Unicode keysym from an input method
                                     0xFFFFFF};
    for (std::uint32_t keysym : foreign)
        EXPECT_FALSE(KeysymToEvdevKey(keysym)) << std::hex << keysym;
}

} // namespace
} // namespace quill::user
