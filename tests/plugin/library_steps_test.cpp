// The load and unload steps: a failing step leaves an error line in the log that names the phase,
// the step and the reason, and the steps after it still run.
#include "infra/log/log_module.h"
#include "platform/rtl/exception.h"
#include "plugin/control/library_steps.h"
#include "support/log_errors.h"

#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

using namespace quill;

namespace {

int gStepsRun = 0;

} // namespace

TEST(LibrarySteps, AFailedStepIsLoggedWithItsReasonAndTheStepsAfterItRun) {
    infra::LogStartup();
    gStepsRun = 0;
    const plugin::TLibraryStep steps[] = {
        {"settings formats", [] { throw rtl::Exception("no number format"); }},
        {"value-array class", [] { throw 42; }},
        {"driver object", [] { ++gStepsRun; }},
    };
    const test::TLogMark before = test::MarkLog();
    {
        test::TExpectLogError formats("Load: settings formats: no number format");
        test::TExpectLogError unknown("Load: value-array class: unknown failure");
        plugin::RunLibrarySteps("Load", steps);
    }
    infra::LogShutdown();
    EXPECT_EQ(gStepsRun, 1);
    EXPECT_EQ(test::ErrorLinesSince(before).size(), 2u) << "a step that succeeds writes nothing";
}

TEST(LibrarySteps, AnExpectedErrorLineThatNeverComesFailsTheTest) {
    EXPECT_NONFATAL_FAILURE({ test::TExpectLogError never("Load: tuning: "); },
                            "no error line with \"Load: tuning: \"");
}
