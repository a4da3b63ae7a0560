// An unexpected error line in the library's log fails the test that wrote it.
//
// Each test program writes its log into a scratch folder of its own (QUILL_DATA_DIR, which
// test_main.cpp sets when it is not given), so programs that CTest runs side by side never see
// each other's lines. A listener notes, when a test starts, how far every day file below the log
// folder reaches; when the test ends, every error line (infra/log/log_line.h) written after that
// mark fails the test, unless a TExpectLogError of the test announced it.
//
// A test that makes a step fail on purpose says so with a TExpectLogError naming text that the
// line must contain; the expectation in turn fails the test when no such line was written while it
// lived, so it cannot hide a step that no longer reports its failure. For the test thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quill::test {

// How far the day files below one log folder reached at some moment.
struct TLogMark {
    std::string Root; // the QUILL_DATA_DIR of that moment
    std::map<std::string, std::uintmax_t> Sizes;
};

// The day files below the current log folder, as they are now.
TLogMark MarkLog();
// The error lines written after `mark`, in its folder and in the current one.
std::vector<std::string> ErrorLinesSince(const TLogMark& mark);

class TExpectLogError {
  public:
    // `text`: what the error line contains, e.g. the name of the step that fails.
    explicit TExpectLogError(std::string text);
    // Fails the test when no error line with the text was written since construction.
    ~TExpectLogError();
    TExpectLogError(const TExpectLogError&) = delete;
    TExpectLogError& operator=(const TExpectLogError&) = delete;

  private:
    std::string FText;
    TLogMark FMark;
};

// Gives this program a scratch log folder unless QUILL_DATA_DIR names one, and installs the
// listener. Returns the scratch folder to remove at exit (empty when none was made).
std::string WatchLogErrors();

} // namespace quill::test
