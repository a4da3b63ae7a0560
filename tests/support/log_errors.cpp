#include "support/log_errors.h"

#include "infra/log/log_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace quill::test {

namespace fs = std::filesystem;

namespace {

// A new folder of this program's own under the temporary folder, by a name nobody guessed in
// advance; empty when none could be made.
std::string MakeScratchFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "quill-tests-%08x%08x", random(), random());
        std::error_code error;
        const fs::path folder = fs::temp_directory_path(error) / name;
        if (!error && fs::create_directory(folder, error) && !error) {
            fs::permissions(folder, fs::perms::owner_all, error);
            return folder.generic_string();
        }
    }
    return {};
}

std::string CurrentRoot() {
    const char* root = std::getenv("QUILL_DATA_DIR");
    return root ? root : "";
}

// The day files below `root`'s log folder with their sizes.
std::map<std::string, std::uintmax_t> DayFiles(const std::string& root) {
    std::map<std::string, std::uintmax_t> files;
    if (root.empty()) return files;
    std::error_code error;
    const fs::path logs = fs::path(root) / "OrvixEquipment" / "LOGs";
    for (fs::recursive_directory_iterator it(logs, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error) && it->path().extension() == ".log")
            files[it->path().string()] = it->file_size(error);
    }
    return files;
}

void CollectErrors(const std::string& root, const TLogMark& mark, std::vector<std::string>& lines) {
    for (const auto& [path, size] : DayFiles(root)) {
        const auto marked = mark.Sizes.find(path);
        const std::uintmax_t from = marked == mark.Sizes.end() ? 0 : marked->second;
        if (size <= from) continue;
        std::ifstream file(path, std::ios::binary);
        file.seekg(static_cast<std::streamoff>(from));
        for (std::string line; std::getline(file, line);)
            if (infra::IsErrorLine(line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                lines.push_back(line);
            }
    }
}

// What the running test has announced; cleared when a test starts.
std::vector<std::string>& Announced() {
    static std::vector<std::string> texts;
    return texts;
}

class TLogErrorListener : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        Announced().clear();
        FMark = MarkLog();
    }
    // Runs before the result printer's OnTestEnd (listeners end in reverse order), so the test is
    // reported failed.
    void OnTestEnd(const testing::TestInfo&) override {
        for (const std::string& line : ErrorLinesSince(FMark)) {
            bool expected = false;
            for (const std::string& text : Announced())
                expected = expected || line.find(text) != std::string::npos;
            if (!expected) ADD_FAILURE() << "unexpected error line in the log: " << line;
        }
        Announced().clear();
    }

    TLogMark FMark;
};

} // namespace

TLogMark MarkLog() {
    TLogMark mark;
    mark.Root = CurrentRoot();
    mark.Sizes = DayFiles(mark.Root);
    return mark;
}

std::vector<std::string> ErrorLinesSince(const TLogMark& mark) {
    std::vector<std::string> lines;
    CollectErrors(mark.Root, mark, lines);
    const std::string now = CurrentRoot();
    if (now != mark.Root) CollectErrors(now, mark, lines);
    return lines;
}

TExpectLogError::TExpectLogError(std::string text) : FText(std::move(text)), FMark(MarkLog()) {
    Announced().push_back(FText);
}

TExpectLogError::~TExpectLogError() {
    for (const std::string& line : ErrorLinesSince(FMark))
        if (line.find(FText) != std::string::npos) return;
    ADD_FAILURE() << "no error line with \"" << FText << "\" was written to the log";
}

std::string WatchLogErrors() {
    std::string scratch;
    if (CurrentRoot().empty()) {
        scratch = MakeScratchFolder();
        if (!scratch.empty()) setenv("QUILL_DATA_DIR", scratch.c_str(), 1);
    }
    testing::UnitTest::GetInstance()->listeners().Append(new TLogErrorListener);
    return scratch;
}

} // namespace quill::test
