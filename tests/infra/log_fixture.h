// The log tests' shared fixture: a scratch data folder of the test's own as the platform's
// application-data folder, and helpers that read what the log wrote.
#pragma once

#include "infra/log/log_folder.h"
#include "infra/log/log_line.h"
#include "infra/log/log_name.h"
#include "infra/log/log_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace quill::infra::test_log {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// The lock wait of the tests that hold the file lock against the log: short, as they wait it out.
inline constexpr unsigned kShortLockWait = 20;

// A local time as a clock value.
inline TLogTime LocalTime(int year, int month, int day, int hour, int minute, int second,
                          int millis) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm)) + milliseconds(millis);
}

inline std::vector<std::string> ReadLines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

inline std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return out;
        start = tab + 1;
    }
}

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        for (int attempt = 0; attempt < 16 && FRoot.empty(); ++attempt) {
            const fs::path root =
                fs::temp_directory_path() /
                ("quill-log-" + std::to_string(random()) + std::to_string(random()));
            std::error_code error;
            if (fs::create_directory(root, error)) FRoot = root;
        }
        ASSERT_FALSE(FRoot.empty());
        if (const char* previous = std::getenv("QUILL_DATA_DIR")) FPreviousRoot = previous;
        setenv("QUILL_DATA_DIR", FRoot.generic_string().c_str(), 1);
        FLogs = FRoot / "OrvixEquipment" / "LOGs";
    }
    void TearDown() override {
        // The program's own log folder comes back: the listener of support/log_errors.h reads it.
        if (FPreviousRoot.empty())
            unsetenv("QUILL_DATA_DIR");
        else
            setenv("QUILL_DATA_DIR", FPreviousRoot.c_str(), 1);
        std::error_code ignored;
        fs::remove_all(FRoot, ignored);
    }
    std::string ProcessFolderName(const std::string& module) const {
        return module + "_" + ComputerName() + "_" + std::to_string(ProcessSessionNumber());
    }

    fs::path FRoot;
    std::string FPreviousRoot;
    fs::path FLogs;
};

} // namespace quill::infra::test_log
