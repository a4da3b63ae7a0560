// Tests that drive a real window: a virtual X server, a person at its keyboard and mouse (xdotool
// with real XTEST input events), screenshots into <build>/artifacts, and running programs.
// Every helper reports failure rather than throwing; a test skips when the tools are missing.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace quill::testing {

// True when `program` is an executable on PATH.
bool OnPath(const std::string& program);
// Runs a program to its end; its standard output goes to `out` when given. Returns the exit code.
int Run(const std::vector<std::string>& args, std::string* out = nullptr);
// <build>/artifacts, made when missing.
std::string ArtifactsDir();

// A virtual X server on a display number it picks itself; ended with the object. Display stays
// empty when it did not start.
class TXvfb {
  public:
    explicit TXvfb(const std::string& screen = "640x400x24");
    ~TXvfb();
    TXvfb(const TXvfb&) = delete;
    TXvfb& operator=(const TXvfb&) = delete;
    std::string Display;

  private:
    pid_t FPid = -1;
};

// The person at the keyboard: xdotool with real (XTEST) input events. After the first failure
// every call does nothing and returns false; Log says what failed.
class TXUser {
  public:
    bool Ok = true;
    std::vector<std::string> Log;

    bool Do(std::vector<std::string> args, std::string* out = nullptr);
    // Waits for a visible window that matches `how` ("--class", "--name") `what`, other than
    // `except`; returns its id.
    std::string WaitWindow(const std::string& how, const std::string& what,
                           const std::string& except = {});
    void Settle();
    void ClickAt(const std::string& window, int x, int y);
    // A screenshot of the whole screen as <artifacts>/<name>.png.
    void Shot(const std::string& name);
};

} // namespace quill::testing
