// The tuning file under the Linux file rules: a FIFO planted under its name is never opened, so the
// start-up neither waits on it nor reads it, and every key keeps its default.
#include "plugin/scanner/tuning.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace quill::plugin;

TEST(ScannerTuning, AFifoUnderTheNameIsNeverRead) {
    const std::string name = (std::filesystem::temp_directory_path() /
                              ("quill-tuning-fifo-" + std::to_string(::getpid()) + ".ini"))
                                 .string();
    std::remove(name.c_str());
    ASSERT_EQ(mkfifo(name.c_str(), 0600), 0);
    const TStartupTuning values = ReadStartupTuningFrom(name);
    EXPECT_EQ(values.KeyDriblingTime, 200);
    EXPECT_EQ(ReadTuningFrom("TasksCheckTimer", name), 0);
    std::remove(name.c_str());
}
