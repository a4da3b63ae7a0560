// quill-host --evdev with kernel-format input events arriving through pipes, as they come from a
// device node: a scanner's keys become a scan and the person's keys typed text; a source that
// ends leaves the others and the host running; devices that cannot be read are refused with a
// message that says why.
#include "host_runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/input.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quill::test::TCommandOutput;

// The events a US keyboard sends for `text` (letters, digits, '+', Enter as '\n'), 1 ms apart,
// each key event followed by its report, as a device node delivers them.
class TEventWriter {
  public:
    explicit TEventWriter(std::int64_t startUs = 5000000) : FNowUs(startUs) {}
    void Type(const std::string& text) {
        for (char c : text) {
            if (c == '+') {
                Key(KEY_LEFTSHIFT, 1);
                Tap(KEY_EQUAL);
                Key(KEY_LEFTSHIFT, 0);
            } else if (c == '\n') {
                Tap(KEY_ENTER);
            } else {
                Tap(CodeOf(c));
            }
        }
    }
    void Key(std::uint16_t code, std::int32_t value) {
        FNowUs += 1000;
        Add(EV_MSC, MSC_SCAN, code);
        Add(EV_KEY, code, value);
        Add(EV_SYN, SYN_REPORT, 0);
    }
    void Tap(std::uint16_t code) {
        Key(code, 1);
        Key(code, 0);
    }
    std::string Bytes() const {
        return std::string(reinterpret_cast<const char*>(FEvents.data()),
                           FEvents.size() * sizeof(input_event));
    }

  private:
    static std::uint16_t CodeOf(char c) {
        static const char* const rows[] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm"};
        static const std::uint16_t first[] = {KEY_1, KEY_Q, KEY_A, KEY_Z};
        for (int r = 0; r < 4; ++r)
            if (const char* at = std::strchr(rows[r], c))
                return static_cast<std::uint16_t>(first[r] + (at - rows[r]));
        return KEY_SPACE;
    }
    void Add(std::uint16_t type, std::uint16_t code, std::int32_t value) {
        input_event e{};
        e.input_event_sec = FNowUs / 1000000;
        e.input_event_usec = FNowUs % 1000000;
        e.type = type;
        e.code = code;
        e.value = value;
        FEvents.push_back(e);
    }
    std::int64_t FNowUs;
    std::vector<input_event> FEvents;
};

// Runs the host with `input` on its standard input.
TCommandOutput RunHost(const std::string& arguments, const std::string& input) {
    // CTest runs the tests of this file side by side: each process has its own file.
    const std::string inputPath =
        std::string(QUILL_BINARY_DIR) + "/evdev-test-input-" + std::to_string(getpid()) + ".bin";
    if (!(std::ofstream(inputPath, std::ios::binary) << input)) return {};
    TCommandOutput out = quill::test::RunHost(arguments, "C.UTF-8", inputPath);
    fs::remove(inputPath);
    return out;
}

TEST(EvdevHost, AScannersKeysBecomeAScanAndAPersonsKeysTypedText) {
    TEventWriter device;
    device.Type("qty 3\n");
    device.Type("+++4006381333931+++");
    device.Tap(KEY_PLAYPAUSE); // a multimedia key: no key of the US keyboard
    device.Type("ok");
    const TCommandOutput out = RunHost("--evdev -", device.Bytes());
    EXPECT_EQ(out.Status, 0) << out.Text;
    EXPECT_TRUE(out.Has("evdev: reading \"standard input\" (-)")) << out.Text;
    EXPECT_TRUE(out.Has("typed: qty 3\n")) << out.Text;
    EXPECT_TRUE(out.Has("data=4006381333931\n")) << out.Text;
    EXPECT_TRUE(out.Has("key code 164 is no key of the US keyboard; skipped")) << out.Text;
    EXPECT_TRUE(out.Has("typed: ok\n")) << out.Text;
    EXPECT_TRUE(out.Has("evdev: standard input ended")) << out.Text;
    EXPECT_TRUE(out.Has("Bye")) << out.Text;
}

// A device that goes while another is still read: its input ends with a message, the other's
// keys go on arriving, and the host ends normally once both are done.
TEST(EvdevHost, ASourceThatEndsLeavesTheOthersRunning) {
    const std::string fifo =
        std::string(QUILL_BINARY_DIR) + "/evdev-test-fifo-" + std::to_string(getpid());
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The first device goes half-way through its first event, so the two devices' keys cannot
    // interleave with the other's scan.
    TEventWriter first;
    first.Type("a");
    std::thread unplugged([&] {
        const int fd = open(fifo.c_str(), O_WRONLY);
        const std::string bytes = first.Bytes();
        [[maybe_unused]] auto written = write(fd, bytes.data(), 10);
        close(fd);
    });
    TEventWriter second(9000000);
    second.Type("+++222+++ tail");
    const TCommandOutput out = RunHost("--evdev " + fifo + " --evdev -", second.Bytes());
    unplugged.join();
    fs::remove(fifo);
    EXPECT_EQ(out.Status, 0) << out.Text;
    EXPECT_TRUE(out.Has("evdev: " + fifo + " ended in the middle of an event")) << out.Text;
    EXPECT_TRUE(out.Has("data=222\n")) << out.Text;
    EXPECT_TRUE(out.Has("tail\n")) << out.Text;
    EXPECT_TRUE(out.Has("Bye")) << out.Text;
}

// A record whose time no clock gives (tv_sec near 2^62): the stream ends there with the record's
// number, what came before it was typed, and the host ends normally.
TEST(EvdevHost, ARecordWithAnImpossibleTimeEndsTheStreamNamingIt) {
    TEventWriter device;
    device.Type("ok");
    std::string bytes = device.Bytes();
    input_event bad{};
    bad.input_event_sec = std::int64_t{1} << 62;
    bad.type = EV_KEY;
    bad.code = KEY_X;
    bad.value = 1;
    bytes.append(reinterpret_cast<const char*>(&bad), sizeof bad);
    TEventWriter after(9000000);
    after.Type("zz");
    bytes += after.Bytes();
    const TCommandOutput out = RunHost("--evdev -", bytes);
    EXPECT_EQ(out.Status, 0) << out.Text;
    EXPECT_TRUE(out.Has("typed: ok\n")) << out.Text;
    EXPECT_TRUE(out.Has("evdev: standard input: record 13: the time 4611686018427387904 s 0 us is "
                        "no time of an input event; the stream ends here"))
        << out.Text;
    EXPECT_FALSE(out.Has("zz")) << out.Text;
    EXPECT_TRUE(out.Has("Bye")) << out.Text;
}

TEST(EvdevHost, DevicesThatCannotBeReadAreRefusedWithTheReason) {
    const TCommandOutput missing =
        RunHost("--evdev /dev/input/by-id/no-such-scanner-event-kbd", "");
    EXPECT_EQ(missing.Status, 1) << missing.Text;
    EXPECT_TRUE(missing.Has("/dev/input/by-id/no-such-scanner-event-kbd: no such device"))
        << missing.Text;
    const TCommandOutput notInput = RunHost("--evdev /dev/null", "");
    EXPECT_EQ(notInput.Status, 1) << notInput.Text;
    EXPECT_TRUE(notInput.Has("/dev/null: not an input device")) << notInput.Text;
    const TCommandOutput noValue = RunHost("--evdev", "");
    EXPECT_EQ(noValue.Status, 2) << noValue.Text;
}

} // namespace
