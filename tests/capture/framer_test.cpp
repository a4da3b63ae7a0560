#include "capture/framer_simulation.h"
#include "capture/framing/escapes.h"
#include "capture/framing/held_keys.h"
#include "capture/key_script.h"
#include "platform/user/us_layout.h"

#include <gtest/gtest.h>
#include <random>

using namespace quill;
using namespace quill::capture;
using quill::test::FramerSimulation;

TEST(DecodeEscapes, DigitsLiteralsAndTheTrailingAmpersand) {
    EXPECT_EQ(DecodeEscapes("&13"), "\r");
    EXPECT_EQ(DecodeEscapes("&9"), "\t");
    EXPECT_EQ(DecodeEscapes("&09"), "\t");
    EXPECT_EQ(DecodeEscapes("&128"), std::string("\x0C") + "8");
    EXPECT_EQ(DecodeEscapes("a&&b"), "a&b");
    EXPECT_EQ(DecodeEscapes("&x"), "x");
    EXPECT_EQ(DecodeEscapes("ab&"), std::string("ab\0", 3));
    EXPECT_EQ(DecodeEscapes("+++"), "+++");
    EXPECT_EQ(DecodeEscapes(""), "");
}

TEST(HeldKeys, LinesAndFields) {
    EXPECT_EQ(HeldKeyLine({true, false, false, 65}), "1|0|0|65|");
    EXPECT_EQ(HeldKeyLine({false, false, false, 13}), "0|0|0|13|");
    EXPECT_EQ(HeldKeyField("1|0|0|65|", 4), "65");
    EXPECT_EQ(HeldKeyField("1|0|0|65", 4), "65"); // the final bar is supplied
    EXPECT_EQ(HeldKeyField("1|0|0|65|", 5), "");
    EXPECT_EQ(HeldKeyField("", 1), "");
    EXPECT_EQ(ParseHeldKeyLine("0|1|1|321|"), (HeldKey{false, true, true, 65}));
}

// Every key script in tests/capture/scripts describes one behaviour of the framing.
class FramerScript : public ::testing::TestWithParam<std::string> {};

TEST_P(FramerScript, BehavesAsDescribed) {
    const auto script = test::ReadKeyScript(GetParam());
    EXPECT_EQ(test::RunFramerScript(script), "") << script.Name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, FramerScript,
                         ::testing::ValuesIn(test::KeyScriptFiles(QUILL_TEST_SOURCE
                                                                  "/capture/scripts")),
                         [](const auto& info) { return test::KeyScriptTestName(info.param); });

TEST(ScanFramer, NothingIsExaminedWhileNotCapturing) {
    FramerSimulation sim;
    sim.Devices.emplace_back();
    sim.Framer.SetCapturing(false);
    for (char c : std::string("+++1+++"))
        sim.TypeChar(c);
    EXPECT_EQ(sim.App, "+++1+++");
    EXPECT_TRUE(sim.Framer.Buffer().empty());
}

// The last device goes off half-way through a scan: its keys come back at once, not at a time-out
// that keys typed meanwhile (which pass unexamined now) would get ahead of.
TEST(ScanFramer, SwitchingCaptureOffGivesTheHeldKeysBackAtOnce) {
    FramerSimulation sim;
    sim.Devices.emplace_back();
    for (char c : std::string("+++12"))
        sim.TypeChar(c);
    ASSERT_EQ(sim.App, "");
    sim.Framer.SetCapturing(false);
    EXPECT_EQ(sim.App, "+++12");
    EXPECT_FALSE(sim.TimerRunning());
    EXPECT_TRUE(sim.Framer.HeldLines().empty());
    EXPECT_TRUE(sim.Framer.Buffer().empty());
    sim.TypeChar('3');
    sim.Advance(1000);
    EXPECT_EQ(sim.App, "+++123");
    EXPECT_TRUE(sim.Scans.empty());
}

TEST(ScanFramer, HeldLinesRecordModifiersAndTheCompletingKeyRestartsTheTimer) {
    FramerSimulation sim;
    sim.Devices.emplace_back();
    sim.TypeChar('+');
    ASSERT_EQ(sim.Framer.HeldLines().size(), 1u);
    EXPECT_EQ(sim.Framer.HeldLines()[0], "1|0|0|187|");
    for (char c : std::string("++9+++"))
        sim.TypeChar(c);
    EXPECT_EQ(sim.Scans.size(), 1u);
    EXPECT_TRUE(sim.Framer.HeldLines().empty());
    EXPECT_TRUE(sim.TimerRunning()); // the next time-out finds nothing to replay
    sim.Advance(100);
    EXPECT_EQ(sim.App, "");
    EXPECT_FALSE(sim.Framer.TimeoutRunning());
}

// A failing device read after a completed scan: the key belongs to the scan and is not passed.
TEST(ScanFramer, KeyTakenByAScanIsNotPassedWhenALaterDeviceFails) {
    FramerSimulation sim;
    sim.Devices.emplace_back();
    sim.Devices.emplace_back();
    sim.Devices[1].On = false;
    for (char c : std::string("+++5++"))
        sim.TypeChar(c);
    sim.Devices[1].TimeOut = "x";
    sim.TypeChar('+');
    ASSERT_EQ(sim.Scans.size(), 1u);
    EXPECT_EQ(sim.Scans[0].second, "5");
    sim.Advance(1000);
    EXPECT_EQ(sim.App, "");
}

// For random key streams, timings and device settings, every key-down reaches the application
// exactly once, in typing order and with its modifiers, or belongs to exactly one raised scan.
// Held keys never wait without a timer: when none can be started, a lone key passes and several
// are replayed at once, in order; a device read that fails mid-sequence does the same.
TEST(ScanFramer, KeysAreGivenUpWhenTheyCannotBeHeld) {
    FramerSimulation sim;
    sim.Devices.emplace_back();
    sim.RefuseTimer = true;
    sim.TypeChar('+');
    EXPECT_EQ(sim.App, "+");
    sim.RefuseTimer = false;
    sim.TypeChar('+');
    sim.TypeChar('+');
    EXPECT_EQ(sim.App, "+");
    sim.RefuseTimer = true;
    sim.TypeChar('1');
    EXPECT_EQ(sim.App, "+++1");
    EXPECT_TRUE(sim.Framer.HeldLines().empty());
    EXPECT_FALSE(sim.TimerRunning());
    sim.RefuseTimer = false;
    sim.TypeChar('+');
    sim.TypeChar('2');
    sim.Devices[0].TimeOut = "soon"; // no integer: the read fails
    sim.TypeChar('3');
    EXPECT_EQ(sim.App, "+++1+23");
    EXPECT_TRUE(sim.Framer.HeldLines().empty());
    // The failed read keeps the sequence open for a scan until its time-out ends it.
    EXPECT_EQ(sim.Framer.Buffer(), "+23");
    EXPECT_TRUE(sim.TimerRunning());
    sim.Advance(ShortestTimeOutMs);
    EXPECT_TRUE(sim.Framer.Buffer().empty());
    EXPECT_EQ(sim.App, "+++1+23");
    // Without a timer no sequence stays open.
    sim.RefuseTimer = true;
    sim.TypeChar('+');
    EXPECT_EQ(sim.App, "+++1+23+");
    EXPECT_TRUE(sim.Framer.Buffer().empty());
}

TEST(HeldKeys, SidesExtendedKeysAndAltCodesRoundTrip) {
    const HeldKey rightShiftA{true, false, false, 65, true};
    EXPECT_EQ(HeldKeyLine(rightShiftA), "1|0|0|65|1|");
    HeldKey keypadEnter{false, false, false, 13};
    keypadEnter.Extended = true;
    EXPECT_EQ(HeldKeyLine(keypadEnter), "0|0|0|13|8|");
    HeldKey altCode{false, false, true, 18};
    altCode.RightAlt = true;
    altCode.AltDigits = "0052";
    EXPECT_EQ(HeldKeyLine(altCode), "0|0|1|18|4|0052|");
    for (const HeldKey& key : {rightShiftA, keypadEnter, altCode})
        EXPECT_EQ(ParseHeldKeyLine(HeldKeyLine(key)), key);
    EXPECT_EQ(ParseHeldKeyLine("0|0|1|18|0|5x|").AltDigits, ""); // no digits: no code
    // Lock states are kept only for the keys whose character they change.
    HeldKey capital{false, false, false, 'A'};
    capital.CapsLock = true;
    HeldKey keypadOne{false, false, false, user::VK_NUMPAD0 + 1};
    keypadOne.NumLock = true;
    HeldKey abandoning{false, false, true, 'X'};
    abandoning.AltDigits = "43";
    EXPECT_EQ(HeldKeyLine(capital), "0|0|0|65|16|");
    EXPECT_EQ(HeldKeyLine(keypadOne), "0|0|0|97|32|");
    EXPECT_EQ(HeldKeyLine(abandoning), "0|0|1|88|0|43|");
    for (const HeldKey& key : {capital, keypadOne, abandoning})
        EXPECT_EQ(ParseHeldKeyLine(HeldKeyLine(key)), key);
    HeldKey plus{false, false, false, 187};
    plus.CapsLock = plus.NumLock = true;
    EXPECT_EQ(HeldKeyLine(plus), "0|0|0|187|");
}

TEST(ScanFramer, EveryKeyReachesTheApplicationOnceOrBelongsToOneScan) {
    const std::string alphabet = "+#ab1\r";
    std::mt19937 random(20261207);
    for (int round = 0; round < 400; ++round) {
        FramerSimulation sim;
        const int devices = 1 + static_cast<int>(random() % 3);
        auto randomText = [&](int maxLength) {
            std::string s;
            const int n = static_cast<int>(random() % (maxLength + 1));
            for (int i = 0; i < n; ++i)
                s.push_back(alphabet[random() % alphabet.size()]);
            return s;
        };
        for (int d = 0; d < devices; ++d) {
            test::SimDevice dev;
            dev.On = random() % 4 != 0;
            dev.Pref = randomText(3);
            dev.Post = randomText(2);
            for (char& c : dev.Pref)
                if (c == '\r') c = 'a';
            dev.TimeOut = std::to_string(20 + random() % 150);
            dev.InterChar = random() % 3 == 0;
            dev.MinLen = static_cast<std::uint8_t>(random() % 6);
            sim.Devices.push_back(dev);
        }
        // Ids of held keys, in order; what happened to each key.
        std::vector<int> held;
        std::vector<int> fate; // -1 unknown, 0 application, 1 scan
        std::vector<int> appOrder;
        std::string typed;
        const int keys = 5 + static_cast<int>(random() % 40);
        std::size_t scansSeen = 0;
        auto settleScans = [&](const std::vector<int>& consumed) {
            for (int id : consumed) {
                ASSERT_EQ(fate[id], -1) << "round " << round;
                fate[id] = 1;
            }
        };
        auto advance = [&](std::int64_t ms) {
            const std::size_t appBefore = sim.App.size();
            sim.Advance(ms);
            if (sim.Scans.size() > scansSeen) {
                settleScans(held);
                held.clear();
                scansSeen = sim.Scans.size();
            } else if (sim.App.size() > appBefore) {
                ASSERT_EQ(sim.App.size() - appBefore, held.size());
                for (std::size_t i = 0; i < held.size(); ++i) {
                    // Replayed with the modifiers it had: the same character comes out.
                    ASSERT_EQ(sim.App[appBefore + i], typed[held[i]]);
                    ASSERT_EQ(fate[held[i]], -1);
                    fate[held[i]] = 0;
                    appOrder.push_back(held[i]);
                }
                held.clear();
            }
        };
        for (int k = 0; k < keys; ++k) {
            const char c = alphabet[random() % alphabet.size()];
            typed.push_back(c);
            fate.push_back(-1);
            const std::size_t appBefore = sim.App.size();
            std::vector<int> before = held;
            sim.TypeChar(c);
            if (sim.Scans.size() > scansSeen) {
                before.push_back(k);
                settleScans(before);
                held.clear();
                scansSeen = sim.Scans.size();
                ASSERT_EQ(sim.App.size(), appBefore);
            } else if (sim.App.size() > appBefore) {
                fate[k] = 0;
                appOrder.push_back(k);
            } else {
                held.push_back(k);
            }
            ASSERT_EQ(sim.Framer.HeldLines().size(), held.size()) << "round " << round;
            advance(random() % 3 == 0 ? 20 + random() % 200 : random() % 15);
        }
        advance(10000);
        for (int k = 0; k < keys; ++k)
            EXPECT_NE(fate[k], -1) << "round " << round << " key " << k;
        EXPECT_TRUE(std::is_sorted(appOrder.begin(), appOrder.end())) << "round " << round;
    }
}
