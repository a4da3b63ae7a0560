// The machine-wide log: host election and the shared name, banners, line format, daily files and
// a log that cannot write (the file rules' own cases, which need Linux, are in
// log_files_linux_test.cpp).
#include "infra/log/log_host.h"
#include "infra/log/log_module.h"
#include "infra/log_fixture.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/locale.h"
#include "platform/user/clock.h"
#include "support/language.h"

#include <thread>

namespace quill::infra {
namespace {

using namespace test_log;
namespace fs = std::filesystem;
using std::chrono::milliseconds;

TEST_F(LogTest, TwoModulesOfOneProcessShareTheHostsDailyFile) {
    const TLogTime now = LocalTime(2026, 12, 7, 20, 0, 21, 45);
    const TLogClock clock = [now] { return now; };
    {
        TLogModule host("/opt/orvix/Quill.plu", clock);
        TLogModule second("/opt/other/Scales.plu", clock);
        host.Startup();
        second.Startup();
        EXPECT_TRUE(host.IsHost());
        EXPECT_FALSE(second.IsHost());
        const std::string expectedName =
            (FLogs / ProcessFolderName("Quill")).generic_string() + ".log";
        EXPECT_EQ(host.LogName(), expectedName);
        EXPECT_EQ(second.LogName(), expectedName);
        second.Write("Subject", "from the second module");
        second.Shutdown();
        host.Shutdown();
    }
    const fs::path folder = FLogs / ProcessFolderName("Quill");
    const auto lines = ReadLines(folder / "2026-12-07.log");
    const std::string hyphens(64, '-');
    const std::string thread = ThreadIdText(CurrentThreadId());
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1].rfind(">>LOG_STARTED------[", 0), 0u);
    EXPECT_EQ(lines[1].substr(lines[1].size() - 65), "]" + hyphens);
    EXPECT_EQ(lines[2], "07 20:00:21:045\t" + thread +
                            "\tMainThread\tQuill\tThread create\tThreadId=" + thread +
                            " ClassName=MainThread");
    EXPECT_EQ(lines[3], ">>Module loaded----[/opt/other/Scales.plu]" + hyphens);
    EXPECT_EQ(lines[4], "07 20:00:21:045\t" + thread +
                            "\tMainThread\tScales\tThread create\tThreadId=" + thread +
                            " ClassName=MainThread");
    EXPECT_EQ(Fields(lines[5]).back(), "from the second module");
    EXPECT_EQ(Fields(lines[6])[3], "Scales");
    EXPECT_EQ(Fields(lines[6])[4] + "/" + Fields(lines[6])[5], "LogThread/Terminate");
    EXPECT_EQ(lines[7], ">>Module unloaded--[/opt/other/Scales.plu]" + hyphens);
    EXPECT_EQ(Fields(lines[8])[3], "Quill");
    EXPECT_EQ(Fields(lines[8])[5], "Terminate");
    EXPECT_EQ(lines[9].rfind(">>LOG_STOPPED------[", 0), 0u);
}

TEST_F(LogTest, IndentDeltasAndUnregisteredThreads) {
    const TLogTime now = LocalTime(2026, 3, 5, 8, 4, 9, 7);
    TLogModule module("/m/Quill.plu", [now] { return now; });
    module.Startup();
    module.Write("Open", "a", 1);
    module.Write("Inside", "b");
    module.Write("Close", "c", -1);
    module.Write("After", "d");
    std::thread([&] { module.Write("Worker", "e"); }).join();
    const TLog* log = module.Log();
    ASSERT_NE(log, nullptr);
    const auto lines = ReadLines(log->TodayFileName());
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(Fields(lines[3])[0], "05 08:04:09:007");
    EXPECT_EQ(Fields(lines[3]).size(), 6u) << "written at the current indent";
    EXPECT_EQ(Fields(lines[4]).size(), 7u) << "later lines indented by one tab";
    EXPECT_EQ(Fields(lines[4])[4], "");
    EXPECT_EQ(Fields(lines[4])[5], "Inside");
    EXPECT_EQ(Fields(lines[5]).size(), 6u) << "a negative delta applies to its own line";
    EXPECT_EQ(Fields(lines[6]).size(), 6u);
    EXPECT_EQ(Fields(lines[7])[2], "...") << "a thread never registered";
    EXPECT_NE(Fields(lines[7])[1], ThreadIdText(CurrentThreadId()));
}

// Error lines are told apart by their subject alone, at any indent; banners, other subjects and a
// text that merely holds the word are not error lines.
TEST_F(LogTest, ErrorLinesAreThoseWithTheErrorSubject) {
    TLogModule module("/m/Quill.plu");
    module.Startup();
    module.Write("Open", "Error\tin the text", 2);
    module.WriteError("Load: tuning", "no such section");
    module.Write("Errors", "x", -2);
    module.Write("", "Error");
    const TLog* log = module.Log();
    ASSERT_NE(log, nullptr);
    const auto lines = ReadLines(log->TodayFileName());
    ASSERT_EQ(lines.size(), 7u);
    std::vector<bool> errors;
    for (const std::string& line : lines)
        errors.push_back(IsErrorLine(line));
    EXPECT_EQ(errors, (std::vector<bool>{false, false, false, false, true, false, false}));
    EXPECT_EQ(Fields(lines[4]).back(), "Load: tuning: no such section");
    EXPECT_TRUE(IsErrorLine(lines[4] + "\r")) << "a line read with its carriage return";
}

TEST_F(LogTest, AWriteAfterMidnightStartsTheNextDaysFile) {
    TLogTime now = LocalTime(2026, 12, 31, 23, 59, 59, 900);
    TLogModule module("/m/Quill.plu", [&now] { return now; });
    module.Startup();
    module.Write("Late", "x");
    now = LocalTime(2027, 1, 1, 0, 0, 0, 100);
    module.Write("Early", "y");
    const fs::path folder = fs::path(module.Log()->BaseFolder());
    const auto before = ReadLines(folder / "2026-12-31.log");
    const auto after = ReadLines(folder / "2027-01-01.log");
    ASSERT_EQ(before.size(), 4u);
    EXPECT_EQ(Fields(before[3])[4], "Late");
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(Fields(after[0])[0], "01 00:00:00:100");
}

TEST_F(LogTest, WithoutAClockOfItsOwnTheLogKeepsThePlatformsTime) {
    user::TVirtualClock clock(1000);
    clock.SetSystemTime(std::chrono::duration_cast<milliseconds>(
                            LocalTime(2031, 5, 17, 23, 59, 58, 250).time_since_epoch())
                            .count());
    user::TClock* const previous = user::SetClock(&clock);
    {
        TLogModule module("/m/Quill.plu");
        module.Startup();
        module.Write("Before", "x");
        clock.Advance(2000);
        module.Write("After", "y");
        const fs::path folder = fs::path(module.Log()->BaseFolder());
        const auto before = ReadLines(folder / "2031-05-17.log");
        const auto after = ReadLines(folder / "2031-05-18.log");
        ASSERT_FALSE(before.empty());
        EXPECT_EQ(Fields(before.back())[0], "17 23:59:58:250");
        ASSERT_EQ(after.size(), 1u);
        EXPECT_EQ(Fields(after[0])[0], "18 00:00:00:250");
    }
    user::SetClock(previous);
}

TEST_F(LogTest, NoUsableLogFolderNeverStopsTheModule) {
    const fs::path file = FRoot / "plain-file";
    std::ofstream(file) << "x";
    setenv("QUILL_DATA_DIR", (file / "below").generic_string().c_str(), 1);
    TLogModule module("/m/Quill.plu");
    module.Startup();
    EXPECT_EQ(module.Log(), nullptr);
    module.Write("Ignored", "nothing to write to");
    module.Shutdown();
}

TEST(LogName, NamesSessionsAndLimits) {
    EXPECT_EQ(MakeLogName("/l/", "/usr/lib/Quill.plu", "pc", 42), "/l/Quill_pc_42.log");
    EXPECT_EQ(MakeLogName("/l/", "/usr/lib/Quill.plu", "pc", -1), "/l/Quill_pc_9999.log");
    EXPECT_EQ(ModuleBaseName("/a.b/noext"), "noext");
    EXPECT_EQ(WithoutExtension("/x/Quill_pc_1.log"), "/x/Quill_pc_1");
    const std::string folder = "/" + std::string(244, 'f') + "/"; // 246 characters
    EXPECT_EQ(MakeLogName(folder, "Q", "pc", 12345).size(), 260u);
    EXPECT_EQ(MakeLogName(folder, "Q", "pc", 123456), "") << "longer than the shared buffer";
}

TEST(LogTime, BannerAndLineTimes) {
    const TLogTime when = LocalTime(2026, 12, 7, 9, 5, 3, 4);
    QUILL_IN_LANGUAGE("ru_RU.UTF-8") {
        EXPECT_EQ(kernel::AnsiToUtf8(LogBannerTime(when)), "7 декабря 2026 г. 09:05:03");
    }
    QUILL_IN_LANGUAGE("en_US.UTF-8") {
        EXPECT_EQ(LogBannerTime(when), "Monday, December 7, 2026 09:05:03");
    }
    EXPECT_EQ(LogLineTime(when), "07 09:05:03:004");
    EXPECT_EQ(LogFileDate(when), "2026-12-07");
    EXPECT_EQ(FormatLogTime("'lit:'yy/M/d h:m:s z", when, false), "lit:26.12.7 9:5:3 4");
}

TEST(LogTime, BannerIsRussianForEveryRussianLanguageOnly) {
    const TLogTime when = LocalTime(2026, 12, 7, 9, 5, 3, 4);
    for (const kernel::TLanguageCode& entry : kernel::kKnownLanguages) {
        const std::string setting = std::string(entry.Code) + ".UTF-8";
        test::ScopedLanguage language(setting.c_str());
        if (!language.Holds()) continue;
        const bool russian = std::string_view(entry.Code).starts_with("ru");
        EXPECT_EQ(kernel::AnsiToUtf8(LogBannerTime(when)),
                  russian ? "7 декабря 2026 г. 09:05:03" : "Monday, December 7, 2026 09:05:03")
            << setting;
    }
}

} // namespace
} // namespace quill::infra
