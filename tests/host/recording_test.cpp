#include "host/recording.h"
#include "host/replay_session.h"

#include <gtest/gtest.h>

using namespace quill::host;

namespace {

std::vector<std::tuple<std::int64_t, int, int, int>> Keys(const TRecordingParse& parse) {
    std::vector<std::tuple<std::int64_t, int, int, int>> keys;
    for (const auto& e : parse.Events)
        keys.emplace_back(e.TimeUs, e.Code, e.Value, e.Line);
    return keys;
}

TEST(Recording, EvtestTextGivesItsKeyEventsOnly) {
    const auto parse = ParseRecording(
        "Input driver version is 1.0.1\n"
        "Input device name: \"Wedge\"\n"
        "    Event code 30 (KEY_A)\n"
        "Testing ... (interrupt to exit)\n"
        "Event: time 1733600000.000500, type 4 (EV_MSC), code 4 (MSC_SCAN), value 7002b\n"
        "Event: time 1733600000.000500, type 1 (EV_KEY), code 30 (KEY_A), value 1\n"
        "Event: time 1733600000.000500, -------------- SYN_REPORT ------------\r\n"
        "\n"
        "Event: time 1733600001.25, type 1 (EV_KEY), code 30 (KEY_A), value 2\n"
        "Event: time 1733600002.000000, type 17 (EV_LED), code 0 (LED_NUML), value 1\n");
    ASSERT_TRUE(parse.Ok) << parse.Error;
    EXPECT_EQ(parse.Format, TRecordingFormat::Evtest);
    using K = std::tuple<std::int64_t, int, int, int>;
    EXPECT_EQ(Keys(parse),
              (std::vector<K>{{1733600000000500, 30, 1, 6}, {1733600001250000, 30, 2, 9}}));
    EXPECT_EQ(parse.Events[0].Name, "KEY_A");
}

TEST(Recording, EvemuTextGivesItsKeyEventsOnly) {
    const auto parse = ParseRecording("# EVEMU 1.3\n"
                                      "N: Wedge Scanner Keyboard\n"
                                      "I: 0003 1eab 1a03 0111\n"
                                      "B: 01 fe ff ff ff ff ff ff ff\n"
                                      "################################\n"
                                      "E: 0.000000 0004 0004 458977\t# EV_MSC / MSC_SCAN 458977\n"
                                      "E: 0.001000 0001 002a 0001\t# EV_KEY / KEY_LEFTSHIFT 1\n"
                                      "E: 0.001000 0000 0000 0000\t# ---- SYN_REPORT (0) ----\n"
                                      "E: 12.5 0001 0061 0000\n");
    ASSERT_TRUE(parse.Ok) << parse.Error;
    EXPECT_EQ(parse.Format, TRecordingFormat::Evemu);
    using K = std::tuple<std::int64_t, int, int, int>;
    EXPECT_EQ(Keys(parse), (std::vector<K>{{1000, 42, 1, 7}, {12500000, 97, 0, 9}}));
    EXPECT_EQ(parse.Events[0].Name, "KEY_LEFTSHIFT");
    EXPECT_EQ(parse.Events[1].Name, "");
}

// Every fault names its line, and a recording with a fault yields no events at all.
TEST(Recording, BadTextIsRefusedWithItsLine) {
    struct Case {
        const char* Text;
        int Line;
        const char* Error;
    };
    const Case cases[] = {
        {"", 0, "the recording is empty"},
        {" \n\t\n", 0, "the recording is empty"},
        {"hello\nworld\n", 0, "not a recording of evtest or evemu-record"},
        {"E: 0.0 0001 001e 0001\nE: 0.1 0001 001e\n", 2, "malformed line"},
        {"E: 0.0 0001 001e 0001\nX: what\n", 2, "malformed line"},
        {"E: -1.0 0001 001e 0001\n", 1, "malformed line"},
        {"E: 0. 0001 001e 0001\n", 1, "malformed line"},
        {"E: 0.0 0001 1001e 0001\n", 1, "malformed line"},
        {"E: 0.0 0001 001e 99999999999\n", 1, "malformed line"},
        {"Event: time 1.0, type 1 (EV_KEY), code 30 (KEY_A), value 1\nnoise\n", 2,
         "malformed line"},
        {"Event: time 1.0, type 1 (EV_KEY), code 30 (KEY_A), value one\n", 1, "malformed line"},
        {"Event: time 1.0, type 1 (EV_KEY), code 30, value 1\n", 1, "malformed line"},
        {"Event: time 1.0, type 1 (EV_KEY), code 30 (KEY_A), value 1 2\n", 1, "malformed line"},
        // Numbers beyond 64 bits, signed times and signs without digits.
        {"E: 0.0 0001 001e 99999999999999999999\n", 1, "malformed line"},
        {"E: 0.0 0001 -\n", 1, "malformed line"},
        {"E: -0.5 0001 001e 0001\n", 1, "malformed line"},
        {"Event: time -0.5, type 1 (EV_KEY), code 30 (KEY_A), value 1\n", 1, "malformed line"},
        {"Event: time 1.0, type 1 (EV_KEY), code 30 (KEY_A), value 9223372036854775808\n", 1,
         "malformed line"},
        {"Event: time 99999999999999.0, type 1 (EV_KEY), code 30 (KEY_A), value 1\n", 1,
         "malformed line"},
        {"Event: time 1.0.0, -------------- SYN_REPORT ------------\n", 1, "malformed line"},
        {"Event: time 1.5, type 1 (EV_KEY), code 30 (KEY_A), value 1\n"
         "Event: time 1.5x, -------------- SYN_REPORT ------------\n",
         2, "malformed line"},
        {"Event: time 1.5 , type 4 (EV_MSC), code 4 (MSC_SCAN), value 7001e\n", 1,
         "malformed line"},
        {"Event: time 1.5, type 4 (EV_MSC), code 4 (MSC_SCAN), value 70 1e\n", 1, "malformed line"},
        {"Event: time 1., type 4 (EV_MSC), code 4 (MSC_SCAN), value 7001e\n", 1, "malformed line"},
    };
    for (const Case& c : cases) {
        const auto parse = ParseRecording(c.Text);
        EXPECT_FALSE(parse.Ok) << c.Text;
        EXPECT_EQ(parse.ErrorLine, c.Line) << c.Text;
        EXPECT_EQ(parse.Error.rfind(c.Error, 0), 0u) << c.Text << " -> " << parse.Error;
        EXPECT_TRUE(parse.Events.empty()) << c.Text;
    }
}

// The numbers as the tools print them: hexadecimal in either case, negative values kept for the
// player to judge, the extremes of a key value.
TEST(Recording, NumbersKeepTheirValues) {
    const auto evemu = ParseRecording("E: 4000000.999999 0001 001E -1\n"
                                      "E: 4000001 0001 FFFF 2147483647\n");
    ASSERT_TRUE(evemu.Ok) << evemu.Error;
    using K = std::tuple<std::int64_t, int, int, int>;
    EXPECT_EQ(Keys(evemu),
              (std::vector<K>{{4000000999999, 30, -1, 1}, {4000001000000, 0xFFFF, 2147483647, 2}}));
    const auto evtest = ParseRecording(
        "Event: time 12.3456789, type 1 (EV_KEY), code 65535 (KEY_X), value -2147483648\n");
    ASSERT_TRUE(evtest.Ok) << evtest.Error;
    EXPECT_EQ(Keys(evtest), (std::vector<K>{{12345678, 65535, INT32_MIN, 1}}));
}

// Numbers of any length where the tools print a few digits: each line is refused by its number,
// and none is read into a value that does not hold it (the sanitizer build checks the arithmetic).
TEST(Recording, HostileNumbersAreRefusedWithTheirLine) {
    const std::string key = "Event: time 1.0, type 1 (EV_KEY), code 30 (KEY_A), value 1\n";
    const std::string twenty = "99999999999999999999";
    const std::string fifty(50, '9');
    const std::string lines[] = {
        "Event: time 1.0, type 1 (EV_KEY), code " + twenty + " (KEY_A), value 1",
        "Event: time 1.0, type " + twenty + " (EV_KEY), code 30 (KEY_A), value 1",
        "Event: time 1.0, type 1 (EV_KEY), code " + fifty + " (KEY_A), value 1",
        "Event: time 1.0, type 1 (EV_KEY), code 30 (KEY_A), value " + twenty,
        "Event: time 1.0, type 1 (EV_KEY), code 30 (KEY_A), value -" + twenty,
        "Event: time " + twenty + ".0, type 1 (EV_KEY), code 30 (KEY_A), value 1",
        "Event: time 1." + fifty + "x, type 1 (EV_KEY), code 30 (KEY_A), value 1",
        "Event: time " + twenty + ", -------------- SYN_REPORT ------------",
        "Event: time 1.0, type 4 (EV_MSC), code " + twenty + " (MSC_SCAN), value 7001e",
    };
    for (const std::string& line : lines) {
        const auto parse = ParseRecording(key + line + "\n");
        EXPECT_FALSE(parse.Ok) << line;
        EXPECT_EQ(parse.ErrorLine, 2) << line;
        EXPECT_EQ(parse.Error.rfind("malformed line", 0), 0u) << line << " -> " << parse.Error;
    }
    const std::string evemu[] = {
        "E: " + twenty + ".0 0001 001e 0001", "E: 0.0 " + twenty + " 001e 0001",
        "E: 0.0 0001 ffffffffffffffffffff 0001", "E: 0.0 0001 001e -" + fifty};
    for (const std::string& line : evemu) {
        const auto parse = ParseRecording("E: 0.0 0001 001e 0001\n" + line + "\n");
        EXPECT_FALSE(parse.Ok) << line;
        EXPECT_EQ(parse.ErrorLine, 2) << line;
    }
}

// Line numbers past 2^31 (a recording of a few hundred gigabytes) stay positive, for the events
// and for the error alike; the parse is started at a high line instead of writing such a file.
TEST(Recording, LineNumbersBeyond32BitsStayRight) {
    constexpr std::int64_t first = std::int64_t{1} << 31;
    const auto parse = ParseRecording("E: 0.0 0001 001e 0001\nE: 0.1 0001 001e 0000\n", first);
    ASSERT_TRUE(parse.Ok) << parse.Error;
    ASSERT_EQ(parse.Events.size(), 2u);
    EXPECT_EQ(parse.Events[0].Line, first);
    EXPECT_EQ(parse.Events[1].Line, first + 1);
    const auto bad =
        ParseRecording("E: 0.0 0001 001e 0001\n\nE: 0.1 0001\n", (std::int64_t{1} << 32) - 1);
    EXPECT_FALSE(bad.Ok);
    EXPECT_EQ(bad.ErrorLine, (std::int64_t{1} << 32) + 1);
}

// Lines spaced otherwise than evtest prints them, or with long numbers, mean what they say.
TEST(Recording, EvtestLinesNeedNotBeSpacedAsPrinted) {
    const auto parse = ParseRecording(
        "Event: time 1.5, type 1 (EV_KEY), code 30 (KEY_A), value 1\n"
        "Event: time  1.5 ,type 1(EV_KEY),code   30 (KEY_B),value -0\n"
        "Event: time 1.5, type 4 (EV_MSC), code 4 (MSC_SCAN), value  7001e\n"
        "Event: time 1.5,  -------------- SYN_REPORT ------------\n"
        "Event: time 00000000000001.2500009, type 0001 (EV_KEY), code 0000000030 (KEY_A), value 0\n"
        "Event: time 4000000000000, type 1 (EV_KEY), code 30 (), value 2\n");
    ASSERT_TRUE(parse.Ok) << parse.Error;
    using K = std::tuple<std::int64_t, int, int, int>;
    EXPECT_EQ(Keys(parse), (std::vector<K>{{1500000, 30, 1, 1},
                                           {1500000, 30, 0, 2},
                                           {1250000, 30, 0, 5},
                                           {4000000000000000000, 30, 2, 6}}));
    EXPECT_EQ(parse.Events[1].Name, "KEY_B");
    EXPECT_EQ(parse.Events[3].Name, "");
}

TEST(Recording, ControlCharactersAreEscaped) {
    EXPECT_EQ(EscapeControls("01\x1d"
                             "10\r\tA\\b\x7f"),
              "01\\x1d10\\r\\tA\\\\b\\x7f");
    EXPECT_EQ(EscapeControls("Сканер"), "Сканер"); // UTF-8 passes as it is
}

} // namespace
