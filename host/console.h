// The host's output: external events, the keystrokes that reached the application, and messages,
// each on lines of their own, so that an event arriving in the middle of typed text does not tear
// the text apart. In the terminal's raw mode a line ends in CR LF, elsewhere in LF.
//
// Used on the host's UI thread only (events and keys are both handled there).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quill::host {

class TConsole {
  public:
    explicit TConsole(std::FILE* out = stdout) : FOut(out) {}

    void SetRawMode(bool raw) { FRaw = raw; }
    // A complete line (the open echo line is closed first).
    void Line(std::string_view text);
    // One character that reached the application: printable characters are echoed after "typed: ",
    // Enter closes the line, Backspace erases the last echoed character.
    void Echo(char c);
    // Closes the echo line if one is open.
    void EndEcho();

  private:
    const char* NewLine() const { return FRaw ? "\r\n" : "\n"; }

    std::FILE* FOut;
    bool FRaw = false;
    bool FEchoOpen = false;
    std::size_t FEchoLength = 0;
};

} // namespace quill::host
