// Runs a command, or the reference host, as a user would from a shell, and collects what it
// printed. Each call blocks until the command has ended.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace quill::test {

struct TCommandOutput {
    std::string Text; // standard output (and standard error where the command merges it)
    int Status = -1;  // the exit code; -1 when it could not start or did not exit normally

    bool Has(const std::string& text) const { return Text.find(text) != std::string::npos; }
};

// Runs `command` through the shell and reads its standard output to the end.
inline TCommandOutput RunCommand(const std::string& command) {
    TCommandOutput out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.Text.append(buffer, got);
    const int status = pclose(pipe);
    out.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// The exit code of a command that `timeout` stopped.
constexpr int kTimedOut = 124;

// quill-host with `arguments`, stopped after `seconds` (Status kTimedOut) so that a host that
// hangs fails its test instead of stopping the suite.
inline TCommandOutput RunHostWithin(int seconds, const std::string& arguments,
                                    const std::string& language = "ru_RU.UTF-8",
                                    const std::string& inputPath = "/dev/null") {
    // The host logs into the test program's log folder, so that an error line of its load fails
    // the test as one of the program's own would (support/log_errors.h).
    const char* data = std::getenv("QUILL_DATA_DIR");
    const std::string folder = data && *data ? data : "/tmp/quill-e2e-data";
    return RunCommand("QUILL_DATA_DIR='" + folder + "' LANG=" + language + " timeout -k 5 " +
                      std::to_string(seconds) + " '" + QUILL_HOST_PATH + "' " + arguments + " <'" +
                      inputPath + "' 2>&1");
}

// quill-host with `arguments` in the language `language`, its data folder in /tmp, standard input
// from `inputPath` and its errors in Text.
inline TCommandOutput RunHost(const std::string& arguments,
                              const std::string& language = "ru_RU.UTF-8",
                              const std::string& inputPath = "/dev/null") {
    return RunHostWithin(300, arguments, language, inputPath);
}

} // namespace quill::test
