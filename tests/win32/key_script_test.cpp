// The key scripts of tests/capture/scripts through the real hook under the system's input path,
// one test per script, with the expectations they have on Linux (key_script_runner.h).
//
// Time: the scripts are written for the virtual clock, where keys 5 ms apart inside a time-out of
// 65 ms are certain to stay inside it. On the system's clock a loaded machine (under Wine the
// input goes through the display's server and the Wine server, and CI shares two cores among
// several programs) can stall the test's thread for tens of milliseconds; so every time and
// time-out of a script runs ten times longer here: a scan's keys stay 600 ms inside the default
// time-out instead of 60, and a wait meant to outlast one still does by the same factor. Waits
// end once nothing is left to time, so the program runs for about the time-outs that really
// expire: some 30 s for the scripts under Wine, also with both cores kept busy meanwhile.
#include "win32/key_script_runner.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace quill;

namespace {

constexpr int kTimeScale = 10;

// Scripts whose expectations cannot hold on the system's clock, each with its own expectation
// lines, which replace the script's; its other lines run as they are.
const std::map<std::string, std::vector<std::vector<std::string>>> kOwnExpectations = {
    // A time-out of 0 waits the timers' shortest interval, 10 ms of the system's clock, which no
    // scale stretches: keys a scaled 5 ms (50 ms) apart each outlast it, so each is held and typed
    // again alone, and no scan forms. Keys never stay held without a timer, as on Linux.
    {"zero_timeout_waits_the_shortest_interval", {{"expect", "app", "+++12++++++"}}},
};

test::KeyScript WithOwnExpectations(test::KeyScript script) {
    const auto own = kOwnExpectations.find(script.Name);
    if (own == kOwnExpectations.end()) return script;
    std::erase_if(script.Lines, [](const auto& line) { return line.Words[0] == "expect"; });
    for (const auto& words : own->second)
        script.Lines.push_back({0, words});
    return script;
}

// Whether the system composes Alt codes, asked once for the program.
bool ComposesAltCodes() {
    static const bool composes = test::SystemComposesAltCodes();
    return composes;
}

} // namespace

class RealInputScript : public ::testing::TestWithParam<std::string> {};

TEST_P(RealInputScript, BehavesAsOnLinux) {
    const auto script = WithOwnExpectations(test::ReadKeyScript(GetParam()));
    test::TRealInputRun run;
    run.TimeScale = kTimeScale;
    // Windows composes an Alt code's character from the keys that reach the application's thread;
    // Wine 8 does not. There the application's side composes what reached it, so the scripts
    // check what the hook and the framing deliver, and the composition itself is Windows'.
    run.ComposeAltCodes = !ComposesAltCodes();
    EXPECT_EQ(test::RunScriptOnRealInput(script, run), "") << script.Name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, RealInputScript,
                         ::testing::ValuesIn(test::KeyScriptFiles(QUILL_TEST_SOURCE
                                                                  "/capture/scripts")),
                         [](const auto& info) { return test::KeyScriptTestName(info.param); });
