// The keyboard bridge in front of the real capture: toolkit key events (X11 keysyms with the
// toolkit's modifier state, Linux key codes) go in, and what comes out of the callback is exactly
// what the application is meant to get, in order, while scans leave as events.
#include "capture/capture_harness.h"
#include "platform/user/keyboard_bridge.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"
#include "platform/user/virtual_keys.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

using namespace quill;
using namespace quill::test;
using user::TToolkitKeyEvent;

namespace {

constexpr std::uint32_t XK_Shift_L = 0xFFE1;
constexpr std::uint32_t XK_Caps_Lock = 0xFFE5;
constexpr std::uint32_t XK_dead_acute = 0xFE51;
constexpr std::uint32_t XF86AudioPlay = 0x1008FF14;

class BridgeTest : public ::testing::Test {
  protected:
    BridgeTest() {
        h.AddDevice()->SetState(1); // "+++" ... "+++", 65 ms
    }

    // Types `text` as X11 reports it: Shift as key events of its own, the state before each event.
    void Type(const std::string& text) {
        for (char c : text) {
            const bool shift = user::CharToKey(c)->Shift;
            const std::uint32_t state = shift ? user::KeyStateShift : 0;
            if (shift) Key(XK_Shift_L, true, 0);
            Key(static_cast<unsigned char>(c), true, state);
            Key(static_cast<unsigned char>(c), false, state);
            if (shift) Key(XK_Shift_L, false, state);
        }
    }
    bool Key(std::uint32_t keysym, bool down, std::uint32_t state) {
        TToolkitKeyEvent e;
        e.Code = keysym;
        e.Down = down;
        e.HasState = true;
        e.State = state;
        return bridge.KeyEvent(e);
    }
    bool Code(std::uint16_t code, bool down) {
        TToolkitKeyEvent e;
        e.Kind = user::TKeyCodeKind::LinuxKeyCode;
        e.Code = code;
        e.Down = down;
        return bridge.KeyEvent(e);
    }
    // Lets `ms` pass on the virtual clock, the loop waking for what is due.
    void Advance(int ms) {
        h.Clock().Advance(static_cast<std::uint64_t>(ms));
        bridge.Dispatch();
    }

    TCaptureHarness h;
    std::string app;  // characters delivered
    std::string keys; // 'd'/'u' per key message delivered
    bool reenter = false;
    user::TKeyboardBridge bridge{[this](const user::TApplicationKey& k) {
        if (k.Kind == user::TApplicationKeyKind::Character) {
            app.push_back(static_cast<char>(k.Character));
            if (reenter && k.Character == 'x') {
                reenter = false;
                Type("y"); // entered from inside the delivery
                app.push_back('|');
            }
        } else {
            keys.push_back(k.Kind == user::TApplicationKeyKind::KeyDown ? 'd' : 'u');
        }
    }};
};

TEST_F(BridgeTest, AScanBetweenTypedTextIsCutOutAndTheTextArrivesInOrder) {
    Type("Qty 2");
    Advance(200);
    Type("+++4006381333931+++");
    Type(" and More!");
    Advance(200);
    EXPECT_EQ(app, "Qty 2 and More!");
    ASSERT_EQ(h.Scans().size(), 1u);
    EXPECT_EQ(h.Scans()[0].second, "4006381333931");
    EXPECT_TRUE(h.App.empty()) << "the bridge retrieved everything itself";
}

TEST_F(BridgeTest, LinuxKeyCodesOfADeviceGoTheSameWay) {
    auto tap = [&](std::uint16_t code) {
        Code(code, true);
        Code(code, false);
    };
    auto plus = [&] {
        Code(KEY_LEFTSHIFT, true);
        tap(KEY_EQUAL);
        Code(KEY_LEFTSHIFT, false);
    };
    tap(KEY_H);
    tap(KEY_I);
    for (int i = 0; i < 3; ++i)
        plus();
    for (std::uint16_t code : {KEY_7, KEY_KP8, KEY_9}) // a keypad digit without Num Lock types none
        tap(code);
    for (int i = 0; i < 3; ++i)
        plus();
    Advance(100);
    EXPECT_EQ(app, "hi");
    ASSERT_EQ(h.Scans().size(), 1u);
    EXPECT_EQ(h.Scans()[0].second.front(), '7');
    EXPECT_EQ(h.Scans()[0].second.back(), '9');
    EXPECT_FALSE(Code(0x2FF, true)) << "beyond the key codes";
    EXPECT_FALSE(Code(KEY_PLAYPAUSE, true)) << "a multimedia key";
}

TEST_F(BridgeTest, UnknownKeysPassAtOnceAndAreNeverHeld) {
    Type("+"); // opens a possible prefix: held
    EXPECT_EQ(app, "");
    const std::string before = keys;
    EXPECT_FALSE(Key(XK_dead_acute, true, 0));
    EXPECT_FALSE(Key(XK_dead_acute, false, 0));
    EXPECT_FALSE(Key(XF86AudioPlay, true, 0));
    EXPECT_FALSE(Key(0x01000000 + 0x263A, true, 0)); // an input method's character
    EXPECT_EQ(keys, before) << "nothing entered for keys the bridge does not know";
    EXPECT_EQ(bridge.WaitTimeoutMs(), 65) << "the held '+' still waits for its time-out alone";
    Advance(65);
    EXPECT_EQ(app, "+") << "the held key comes back once";
    EXPECT_TRUE(h.Scans().empty());
}

TEST_F(BridgeTest, TheToolkitsModifierStateIsMadeTheInputPaths) {
    // A window that gained the focus while Shift was held sees no Shift press, only the state.
    Key('a', true, user::KeyStateShift);
    Key('a', false, user::KeyStateShift);
    Key('b', true, 0); // Shift was let go outside the window
    Key('b', false, 0);
    Key('c', true, user::KeyStateControl);
    Key('c', false, user::KeyStateControl);
    Key('d', true, user::KeyStateCapsLock);
    Key('d', false, user::KeyStateCapsLock);
    Key('e', true, user::KeyStateCapsLock | user::KeyStateShift);
    Key('e', false, 0);
    Advance(100);
    EXPECT_EQ(app, std::string("Ab\x03"
                               "De"));
    // Caps Lock's own event is entered as it is, with the state before it.
    Key(XK_Caps_Lock, true, user::KeyStateCapsLock);
    Key(XK_Caps_Lock, false, user::KeyStateCapsLock);
    Key('f', true, 0);
    Advance(100);
    EXPECT_EQ(app, std::string("Ab\x03"
                               "Def"));
}

TEST_F(BridgeTest, AKeyEnteredFromInsideTheDeliveryComesAfterTheCurrentOne) {
    reenter = true;
    Type("xz");
    Advance(100);
    EXPECT_EQ(app, "x|yz");
}

// A host closing while the capture holds keys: with Finish they are typed again exactly once;
// when the session ends without it they are never delivered. Nothing is delivered twice.
TEST_F(BridgeTest, ClosingWhileKeysAreHeldWithFinishDeliversThemOnce) {
    Type("ab++");
    EXPECT_EQ(app, "ab");
    EXPECT_TRUE(bridge.Finish(1000));
    EXPECT_EQ(app, "ab++");
    EXPECT_EQ(bridge.WaitTimeoutMs(), -1);
    EXPECT_TRUE(bridge.Finish(1000));
    Advance(1000);
    EXPECT_EQ(app, "ab++");
    EXPECT_TRUE(h.Scans().empty());
}

TEST_F(BridgeTest, ClosingWhileKeysAreHeldWithoutFinishDropsThem) {
    Type("ab++");
    h.List.reset(); // the session ends: the devices and their capture go
    Advance(1000);
    EXPECT_EQ(app, "ab");
    EXPECT_EQ(bridge.WaitTimeoutMs(), -1);
    EXPECT_TRUE(bridge.Finish(1000));
    EXPECT_EQ(app, "ab");
}

TEST_F(BridgeTest, FinishGivesUpAtItsLimit) {
    h.List->Scanner(0)->SetParamInt("HookTimeOut", 500);
    Type("+");
    EXPECT_FALSE(bridge.Finish(100));
    EXPECT_EQ(app, "");
    EXPECT_TRUE(bridge.Finish(1000));
    EXPECT_EQ(app, "+");
}

// Events delivered late by a busy loop keep their own spacing; none lies ahead of now or before
// the previous one, and a source whose clock jumps is measured again.
TEST_F(BridgeTest, KeyMessagesCarryTheEventsOwnTimeOnTheRuntimesClock) {
    std::vector<user::DWORD> times;
    user::TKeyboardBridge timed([&](const user::TApplicationKey& k) {
        if (k.Kind == user::TApplicationKeyKind::KeyDown) times.push_back(k.Time);
    });
    auto press = [&](std::uint64_t sourceMs) {
        TToolkitKeyEvent e;
        e.Code = 'q';
        e.TimeMs = sourceMs;
        timed.KeyEvent(e);
        e.Down = false;
        timed.KeyEvent(e);
    };
    const auto start = static_cast<user::DWORD>(h.Clock().NowMs());
    press(700000);               // anchors the source's clock at now
    h.Clock().Advance(500);      // the loop was busy; the next two come together
    press(700030);               // 30 ms after the first, by the source
    press(700020);               // out of order: not before the previous one
    press(700000 + 900);         // ahead of our clock: measured again, at now
    press(700000 + 900 - 50000); // far behind: measured again
    press(0);                    // no time: stamped when entered
    ASSERT_EQ(times.size(), 6u);
    EXPECT_EQ(times[0], start);
    EXPECT_EQ(times[1], start + 30);
    EXPECT_EQ(times[2], start + 30);
    EXPECT_EQ(times[3], start + 500);
    EXPECT_EQ(times[4], start + 500);
    EXPECT_EQ(times[5], start + 500);
}

TEST_F(BridgeTest, DispatchStopsAtTheQuitRequest) {
    user::PostQuitMessage(0);
    EXPECT_FALSE(bridge.Dispatch());
    EXPECT_TRUE(bridge.QuitRequested());
}

} // namespace
