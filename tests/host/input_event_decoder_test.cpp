// Kernel-format input events through a real pipe, as a device node or a remote reader delivers
// them: key events come out with their timestamps, records cut by the pipe are put together, and
// a gap the kernel reports never leaves a key down.
#include "host/input_event_decoder.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace quill::host {
namespace {

input_event Event(std::int64_t us, std::uint16_t type, std::uint16_t code, std::int32_t value) {
    input_event e{};
    e.input_event_sec = us / 1000000;
    e.input_event_usec = us % 1000000;
    e.type = type;
    e.code = code;
    e.value = value;
    return e;
}

// Writes `events` into a pipe and decodes what comes out, `chunk` bytes per read.
std::vector<TKeyEvent> ThroughPipe(const std::vector<input_event>& events, std::size_t chunk,
                                   std::size_t* pending = nullptr) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    const std::size_t bytes = events.size() * sizeof(input_event);
    EXPECT_EQ(write(fds[1], events.data(), bytes), static_cast<ssize_t>(bytes));
    close(fds[1]);
    TInputEventDecoder decoder;
    std::vector<TKeyEvent> keys;
    std::vector<char> buffer(chunk);
    ssize_t got;
    while ((got = read(fds[0], buffer.data(), chunk)) > 0)
        decoder.DecodeBytes(buffer.data(), static_cast<std::size_t>(got), keys);
    close(fds[0]);
    if (pending) *pending = decoder.PendingBytes();
    return keys;
}

std::string Describe(const std::vector<TKeyEvent>& keys) {
    std::string text;
    for (const auto& k : keys)
        text += std::to_string(k.TimeUs) + ":" + std::to_string(k.Code) + "=" +
                std::to_string(k.Value) + " ";
    return text;
}

TEST(InputEventDecoder, KeyEventsKeepTheirTimesAndOtherEventsAreSkipped) {
    const std::vector<input_event> events = {
        Event(1000001, EV_MSC, MSC_SCAN, 0x70004), Event(1000001, EV_KEY, KEY_A, 1),
        Event(1000001, EV_SYN, SYN_REPORT, 0),     Event(1250000, EV_KEY, KEY_A, 2),
        Event(1250000, EV_LED, LED_NUML, 1),       Event(1300000, EV_KEY, KEY_A, 0),
        Event(1300000, EV_SYN, SYN_REPORT, 0),     Event(1300001, EV_KEY, KEY_B, 7)};
    // Whole records per read, and records cut in two by small reads, decode alike.
    for (std::size_t chunk : {sizeof(input_event) * 8, std::size_t{5}, std::size_t{1}}) {
        std::size_t pending = 99;
        const auto keys = ThroughPipe(events, chunk, &pending);
        EXPECT_EQ(Describe(keys), "1000001:30=1 1250000:30=2 1300000:30=0 ") << chunk;
        EXPECT_EQ(pending, 0u);
    }
}

TEST(InputEventDecoder, ATruncatedRecordAtTheEndWaitsAndIsReported) {
    std::vector<input_event> events = {Event(5, EV_KEY, KEY_1, 1)};
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], events.data(), sizeof(input_event) - 3),
              static_cast<ssize_t>(sizeof(input_event) - 3));
    close(fds[1]);
    char buffer[64];
    TInputEventDecoder decoder;
    std::vector<TKeyEvent> keys;
    const ssize_t got = read(fds[0], buffer, sizeof buffer);
    close(fds[0]);
    decoder.DecodeBytes(buffer, static_cast<std::size_t>(got), keys);
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(decoder.PendingBytes(), sizeof(input_event) - 3);
}

// The kernel dropped events: whatever happened in the gap, no key may stay down for ever, and
// the partial packet after the drop is not taken for real input.
TEST(InputEventDecoder, DroppedEventsReleaseTheHeldKeysAndSkipToTheNextReport) {
    const std::vector<input_event> events = {
        Event(10, EV_KEY, KEY_LEFTSHIFT, 1), Event(10, EV_KEY, KEY_EQUAL, 1),
        Event(10, EV_SYN, SYN_REPORT, 0),    Event(20, EV_SYN, SYN_DROPPED, 0),
        Event(30, EV_KEY, KEY_EQUAL, 0),     Event(30, EV_KEY, KEY_X, 1), // part of the gap
        Event(30, EV_SYN, SYN_REPORT, 0),    Event(40, EV_KEY, KEY_Y, 1),
        Event(41, EV_KEY, KEY_Y, 0),         Event(42, EV_KEY, KEY_Z, 0)}; // pressed before
    const auto keys = ThroughPipe(events, 4096);
    EXPECT_EQ(Describe(keys), "10:42=1 10:13=1 20:13=0 20:42=0 40:21=1 41:21=0 42:44=0 ");
}

// Times no clock gives (a hostile stream over ssh, a stream of another format) end the stream
// with the record's number; the key events before it are kept, nothing after it is read.
TEST(InputEventDecoder, HostileTimesEndTheStreamNamingTheRecord) {
    struct Case {
        std::int64_t Seconds;
        std::int64_t Micro;
    };
    const Case cases[] = {{std::int64_t{1} << 62, 0},
                          {INT64_MAX, 999999},
                          {(INT64_MAX - 999999) / 1000000 + 1, 0},
                          {-1, 0},
                          {INT64_MIN, 0},
                          {5, 1000000},
                          {5, -1}};
    for (const Case& c : cases) {
        std::vector<input_event> events = {Event(10, EV_KEY, KEY_A, 1), Event(10, EV_SYN, 0, 0),
                                           Event(0, EV_KEY, KEY_A, 0), Event(20, EV_KEY, KEY_B, 1)};
        events[2].input_event_sec = c.Seconds;
        events[2].input_event_usec = c.Micro;
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const std::size_t bytes = events.size() * sizeof(input_event);
        ASSERT_EQ(write(fds[1], events.data(), bytes), static_cast<ssize_t>(bytes));
        close(fds[1]);
        std::vector<char> buffer(bytes);
        ASSERT_EQ(read(fds[0], buffer.data(), bytes), static_cast<ssize_t>(bytes));
        close(fds[0]);
        TInputEventDecoder decoder;
        std::vector<TKeyEvent> keys;
        EXPECT_FALSE(decoder.DecodeBytes(buffer.data(), bytes, keys)) << c.Seconds;
        EXPECT_EQ(Describe(keys), "10:30=1 ") << c.Seconds;
        EXPECT_EQ(
            decoder.Error().rfind("record 3: the time " + std::to_string(c.Seconds) + " s", 0), 0u)
            << decoder.Error();
        EXPECT_FALSE(decoder.DecodeBytes(buffer.data(), bytes, keys));
        EXPECT_EQ(keys.size(), 1u);
    }
    // The largest time that fits is a time.
    TInputEventDecoder decoder;
    std::vector<TKeyEvent> keys;
    input_event last = Event(0, EV_KEY, KEY_A, 1);
    last.input_event_sec = (INT64_MAX - 999999) / 1000000;
    last.input_event_usec = 999999;
    EXPECT_TRUE(decoder.Decode(last, keys));
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].TimeUs, last.input_event_sec * 1000000 + 999999);
}

} // namespace
} // namespace quill::host
