// The log under failing file steps and a full disk: a line goes into the file whole or not at
// all; lines that could not be written stay queued, or, dropped from a full queue, are counted in
// a line of their own once writing works again.
#include "fault_walk.h"
#include "infra/log/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace quill::faults {
namespace {

namespace fs = std::filesystem;
using infra::TLog;

std::vector<std::string> Lines(const fs::path& folder) {
    std::vector<std::string> lines;
    if (!fs::exists(folder)) return lines;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string line;
        while (std::getline(in, line))
            lines.push_back(line);
    }
    return lines;
}

class LogFaults : public testing::Test {
  protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() / ("quill-log-faults-" + std::to_string(getpid()));
        fs::remove_all(FFolder);
    }
    void TearDown() override { fs::remove_all(FFolder); }

    // Every line of the file ends in CR LF and is a banner or one of the written lines.
    void ExpectOnlyWholeLines(const std::string& body, int step) {
        for (const std::string& line : Lines(FFolder)) {
            ASSERT_FALSE(line.empty()) << "step " << step;
            EXPECT_EQ(line.back(), '\r') << "a torn line at step " << step << ": " << line;
            const bool banner = line.rfind(">>", 0) == 0;
            EXPECT_TRUE(banner || line == body + "\r") << "step " << step << ": " << line;
        }
    }

    fs::path FFolder;
};

TEST_F(LogFaults, EachFailingFileStepKeepsTheLineForTheNextWrite) {
    const std::string body(300, 'x');
    for (auto kind : {kernel::TFaultKind::Open, kernel::TFaultKind::Write, kernel::TFaultKind::Lock,
                      kernel::TFaultKind::Allocation}) {
        std::unique_ptr<TLog> log;
        const int steps = WalkFaults(
            kind,
            [&] {
                log.reset();
                fs::remove_all(FFolder);
                log = std::make_unique<TLog>(FFolder.string(), "/m/Quill.plu", false);
                log->Flush();
            },
            [&] { log->AddLine(body); },
            [&](const TOutcome& outcome) {
                ExpectOnlyWholeLines(body, outcome.Step);
                // What did not go out now goes with the next write, exactly once.
                EXPECT_TRUE(log->Flush()) << "step " << outcome.Step;
                int written = 0;
                for (const std::string& line : Lines(FFolder))
                    written += line == body + "\r";
                // Memory that runs out may cost the line itself, with an error; nothing else may
                // lose it, and nothing may write it twice.
                const bool mayLose = outcome.Failed && kind == kernel::TFaultKind::Allocation;
                EXPECT_TRUE(written == 1 || (mayLose && written == 0))
                    << "step " << outcome.Step << " kind " << static_cast<int>(kind) << ": "
                    << written;
            });
        EXPECT_GE(steps, 1) << "kind " << static_cast<int>(kind);
        log.reset();
    }
}

TEST_F(LogFaults, AFullDiskNeverTearsALineAndCountsWhatItDropped) {
    TLog log(FFolder.string(), "/m/Quill.plu", false);
    ASSERT_TRUE(log.Flush());
    const std::string body(8, 'y');
    // The disk fills up in the middle of the next write and stays full.
    kernel::ArmFault(kernel::TFaultKind::Write, 1, ENOSPC, true);
    for (std::size_t i = 0; i < infra::kMaxPendingLines + 25; ++i)
        EXPECT_FALSE(log.AddLine(body));
    kernel::DisarmFaults();
    ExpectOnlyWholeLines(body, 0);
    EXPECT_TRUE(Lines(FFolder).size() <= 2u) << "nothing but the banner went out";

    // Room again: the count comes first, then every line still queued, each whole. The line
    // added now pushes one more out of the full queue.
    ASSERT_TRUE(log.AddLine(body));
    std::vector<std::string> lines = Lines(FFolder);
    std::size_t notices = 0, bodies = 0;
    for (const std::string& line : lines) {
        if (line.find(infra::LostLinesText(26)) != std::string::npos)
            ++notices;
        else if (line == body + "\r")
            ++bodies;
    }
    EXPECT_EQ(notices, 1u);
    EXPECT_EQ(bodies, infra::kMaxPendingLines);
    // Nothing is reported twice.
    ASSERT_TRUE(log.AddLine(body));
    lines = Lines(FFolder);
    std::size_t notices2 = 0;
    for (const std::string& line : lines)
        notices2 += line.find("could not be written") != std::string::npos;
    EXPECT_EQ(notices2, 1u);
}

} // namespace
} // namespace quill::faults
