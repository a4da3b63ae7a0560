// The key scripts of tests/capture/scripts run through the real capture path: the scanner list's
// thread keyboard hook inside message retrieval, the window timer and keybd_event replays.
#include "capture/capture_harness.h"

#include <gtest/gtest.h>

using namespace quill;

class CaptureScript : public ::testing::TestWithParam<std::string> {};

TEST_P(CaptureScript, BehavesAsDescribed) {
    const auto script = test::ReadKeyScript(GetParam());
    EXPECT_EQ(test::RunCaptureScript(script), "") << script.Name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, CaptureScript,
                         ::testing::ValuesIn(test::KeyScriptFiles(QUILL_TEST_SOURCE
                                                                  "/capture/scripts")),
                         [](const auto& info) { return test::KeyScriptTestName(info.param); });
