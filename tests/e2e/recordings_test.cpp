// Recordings of real scanners' key streams (tests/data/recordings, each with its .expect) replayed
// two ways: through quill-host --replay as a user runs it, and in this process through the e2e
// harness, fed by the same key-event player. Both must give exactly the expected scans and the
// expected application text. Bad recordings get their messages and defined results.
#include "host/key_event_player.h"
#include "host/recording.h"
#include "host/replay_session.h"
#include "host_runner.h"
#include "plugin_harness.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace quill;

const std::string kRecordings = QUILL_TEST_DATA "/recordings";

struct TExpected {
    std::string Options; // the command line after the file
    std::vector<std::string> Scans;
    std::string Typed;
};

TExpected ReadExpect(const std::string& path) {
    std::ifstream in(path);
    TExpected expected;
    std::string line;
    const std::string command = "# quill-host --replay FILE ";
    while (std::getline(in, line)) {
        if (line.rfind(command, 0) == 0) expected.Options = line.substr(command.size());
        if (line.rfind("scan: ", 0) == 0) expected.Scans.push_back(line.substr(6));
        if (line.rfind("typed:", 0) == 0) expected.Typed = line.size() > 7 ? line.substr(7) : "";
    }
    return expected;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

using test::RunHost;
using TRun = test::TCommandOutput;

// The scans and the typed text in quill-host's replay output ("[t] event: ... data=X",
// "[t] typed: X").
TExpected Transcript(const std::string& output) {
    TExpected seen;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] != '[') continue;
        const auto close = line.find("] ");
        if (close == std::string::npos) continue;
        const std::string rest = line.substr(close + 2);
        if (rest.rfind("typed: ", 0) == 0) seen.Typed += rest.substr(7);
        if (rest.rfind("event: ", 0) == 0) {
            const auto data = rest.find(" data=");
            if (data != std::string::npos) seen.Scans.push_back(rest.substr(data + 6));
        }
    }
    return seen;
}

// `text` as the value of an XML attribute (the harness writes settings into a device document).
std::string XmlAttribute(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '&'   ? std::string("&amp;")
               : c == '<' ? "&lt;"
               : c == '"' ? "&quot;"
                          : std::string(1, c);
    return out;
}

// The device options of an .expect line as the in-process harness takes them.
test::TScannerSettings Settings(const std::string& options) {
    test::TScannerSettings settings;
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : options + " ") {
        if (c == '\'') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word.push_back(c);
            any = true;
        }
    }
    for (std::size_t i = 0; i + 1 < words.size(); i += 2) {
        const std::string& name = words[i];
        const std::string& value = words[i + 1];
        if (name == "--prefix")
            settings.Prefix = XmlAttribute(value);
        else if (name == "--suffix")
            settings.Suffix = XmlAttribute(value);
        else if (name == "--timeout")
            settings.TimeOut = std::stoi(value);
        else if (name == "--interchar")
            settings.InterChar = std::stoi(value);
        else if (name == "--minlen")
            settings.MinDataLen = std::stoi(value);
        else
            ADD_FAILURE() << "an option the harness does not take: " << name;
    }
    return settings;
}

std::vector<std::string> Recordings() {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(kRecordings)) {
        const auto ext = entry.path().extension();
        if ((ext == ".evtest" || ext == ".evemu") &&
            fs::exists(fs::path(entry.path()).replace_extension(".expect")))
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string Describe(const TExpected& e) {
    std::string text;
    for (const auto& s : e.Scans)
        text += "scan: " + s + "\n";
    return text + "typed: " + e.Typed + "\n";
}

class Recording : public ::testing::TestWithParam<std::string> {};

TEST_P(Recording, ReplaysThroughTheHostAsExpected) {
    const TExpected expected =
        ReadExpect(fs::path(GetParam()).replace_extension(".expect").string());
    const TRun run = RunHost("--replay '" + GetParam() + "' " + expected.Options);
    ASSERT_EQ(run.Status, 0) << run.Text;
    EXPECT_EQ(Describe(Transcript(run.Text)), Describe(expected)) << run.Text;
}

TEST_P(Recording, ReplaysThroughThePlugInHarnessAsExpected) {
    const TExpected expected =
        ReadExpect(fs::path(GetParam()).replace_extension(".expect").string());
    const host::TRecordingParse recording = host::ParseRecording(ReadText(GetParam()));
    ASSERT_TRUE(recording.Ok) << recording.Error;
    test::TPluginHarness harness;
    harness.AddScanner(Settings(expected.Options));
    std::u16string typed;
    std::vector<std::string> warnings;
    host::TKeyEventPlayer player([&](char16_t c) { typed.push_back(c); },
                                 [&](const std::string& w) { warnings.push_back(w); });
    for (const auto& event : recording.Events)
        player.Feed(event);
    player.Settle(1500);
    TExpected seen;
    for (const auto& event : harness.Sink.Events)
        seen.Scans.push_back(host::EscapeControls(kernel::WideToUtf8(event.Data)));
    seen.Typed = host::EscapeControls(kernel::WideToUtf8(typed));
    EXPECT_EQ(Describe(seen), Describe(expected));
    EXPECT_TRUE(warnings.empty()) << warnings.front();
}

INSTANTIATE_TEST_SUITE_P(Data, Recording, ::testing::ValuesIn(Recordings()), [](const auto& info) {
    std::string name = fs::path(info.param).stem().string();
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

// ---- bad recordings ----

std::string Scratch(const std::string& name, const std::string& text) {
    const std::string path = "/tmp/quill-e2e-data/" + name;
    fs::create_directories("/tmp/quill-e2e-data");
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

constexpr const char* kKeyA = "E: 0.000000 0001 001e 0001\nE: 0.001000 0001 001e 0000\n";

TEST(BadRecording, EmptyTextAndOtherFilesAreRefusedWithTheirNames) {
    const std::string empty = Scratch("empty.evtest", "");
    TRun run = RunHost("--replay " + empty);
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Has(empty + ": the recording is empty")) << run.Text;

    const std::string other = Scratch("notes.txt", "shopping list\nmilk\n");
    run = RunHost("--replay " + other);
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Has(other + ": not a recording of evtest or evemu-record")) << run.Text;

    run = RunHost("--replay /nonexistent/scan.evtest");
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Has("cannot read /nonexistent/scan.evtest")) << run.Text;
}

TEST(BadRecording, AMalformedLineIsNamedAndNothingIsFed) {
    // The first key would be typed (it opens no prefix); the bad third line stops everything.
    const std::string path =
        Scratch("malformed.evemu", std::string(kKeyA) + "E: 0.002000 0001 zz 0001\n");
    const TRun run = RunHost("--replay " + path + " --prefix '#'");
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Has(path + ":3: malformed line: E: 0.002000 0001 zz 0001")) << run.Text;
    EXPECT_FALSE(run.Has("typed:")) << run.Text;
    EXPECT_FALSE(run.Has("Loaded")) << run.Text;
}

// Unknown codes, releases without a press and times that go back are skipped or entered at once
// with a warning naming their line; an auto-repeat types its key again; nothing is lost.
TEST(BadRecording, OddEventsHaveDefinedResults) {
    const std::string path = Scratch(
        "odd.evemu", "# EVEMU 1.3\n"
                     "E: 0.000000 0001 0030 0000\t# EV_KEY / KEY_B 0\n" // release, never pressed
                     "E: 0.010000 0001 00f0 0001\t# EV_KEY / KEY_UNKNOWN 1\n"
                     "E: 0.020000 0001 001e 0001\n" // a down
                     "E: 0.520000 0001 001e 0002\n" // auto-repeat
                     "E: 0.553000 0001 001e 0002\n" // auto-repeat
                     "E: 0.560000 0001 001e 0000\n" // a up
                     "E: 0.500000 0001 0030 0001\n" // b down, earlier than the last event
                     "E: 0.600000 0001 0030 0000\n"
                     "E: 0.700000 0001 0020 0003\n"); // d with a value no key has
    const TRun run = RunHost("--replay " + path + " --prefix '#'");
    EXPECT_EQ(run.Status, 0) << run.Text;
    EXPECT_EQ(Transcript(run.Text).Typed, "aaab") << run.Text;
    EXPECT_TRUE(run.Has(path + ": line 2: release of key 48 (KEY_B), which is not down, skipped"))
        << run.Text;
    EXPECT_TRUE(run.Has(path + ": line 3: unknown key code 240 (KEY_UNKNOWN) skipped")) << run.Text;
    EXPECT_TRUE(run.Has(path + ": line 8: the time goes back; the event is entered at once"))
        << run.Text;
    EXPECT_TRUE(run.Has(path + ": line 10: value 3 of key 32 skipped")) << run.Text;
}

// Control characters print escaped in typed text too, and a recording replays the same way
// every time.
TEST(BadRecording, ControlCharactersPrintEscapedAndRunsRepeat) {
    const std::string path = Scratch("controls.evemu", "E: 0.000000 0001 001d 0001\n"
                                                       "E: 0.001000 0001 001b 0001\n"
                                                       "E: 0.002000 0001 001b 0000\n"
                                                       "E: 0.003000 0001 001d 0000\n"
                                                       "E: 0.004000 0001 000f 0001\n"
                                                       "E: 0.005000 0001 000f 0000\n");
    const TRun first = RunHost("--replay " + path + " --prefix '#'");
    EXPECT_EQ(Transcript(first.Text).Typed, "\\x1d\\t") << first.Text;
    EXPECT_EQ(RunHost("--replay " + path + " --prefix '#'").Text, first.Text);
}

// Two captures made weeks apart and joined: the pause between them is waited on the virtual clock
// however long it is (past the 32-bit millisecond counts of the platform's waits and ticks), the
// time-out of keys held before it still runs in it, and the replay ends within seconds.
TEST(LongPause, IsWaitedOnTheVirtualClockWhateverItsLength) {
    const std::uint64_t pauses[] = {(std::uint64_t{1} << 32) - 1, std::uint64_t{1} << 32,
                                    (std::uint64_t{1} << 32) + 1, std::uint64_t{1} << 40};
    for (const std::uint64_t pauseMs : pauses) {
        const std::uint64_t at = 10 + pauseMs; // ms
        const std::string seconds = std::to_string(at / 1000) + "." +
                                    std::string(3 - std::to_string(at % 1000).size(), '0') +
                                    std::to_string(at % 1000);
        // "a", then "#" (held as a prefix, typed again after the time-out), then "b".
        const std::string path = Scratch("pause.evemu", "E: 0.000000 0001 001e 0001\n"
                                                        "E: 0.001000 0001 001e 0000\n"
                                                        "E: 0.002000 0001 002a 0001\n"
                                                        "E: 0.003000 0001 0004 0001\n"
                                                        "E: 0.004000 0001 0004 0000\n"
                                                        "E: 0.005000 0001 002a 0000\n"
                                                        "E: " +
                                                            seconds +
                                                            " 0001 0030 0001\n"
                                                            "E: " +
                                                            seconds + " 0001 0030 0000\n");
        const TRun run = test::RunHostWithin(60, "--replay " + path + " --prefix '#'");
        EXPECT_EQ(run.Status, 0) << pauseMs << "\n" << run.Text;
        EXPECT_EQ(Transcript(run.Text).Typed, "a#b") << pauseMs << "\n" << run.Text;
        EXPECT_TRUE(run.Has("[" + seconds + "] typed: b")) << pauseMs << "\n" << run.Text;
    }
}

} // namespace
