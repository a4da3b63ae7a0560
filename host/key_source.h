// The terminal as a source of the host's keystrokes: each byte a terminal (or a wedge scanner
// typing into it) delivers becomes the key-down and key-up that type it on the US English layout,
// with Shift (or Control for a control code) pressed around it as the layout needs, through the
// keyboard bridge as X11 keysyms, as a toolkit's keys do. The input path delivers them to the
// focus thread, the host's UI thread, where the plug-in's hook sees them. A script's keys are
// typed by scripted_keys.h. Bytes the layout cannot type (non-ASCII) are skipped and reported as
// false.
#pragma once

#include <cstdint>

#include "host/event_loop.h"
#include "platform/user/keyboard_bridge.h"
#include "platform/user/user_types.h"

namespace quill::host {

// The same keys as X11 keysym events through `bridge`, each with the modifier state before it.
bool FeedByte(user::TKeyboardBridge& bridge, unsigned char byte);

// What ends the capture: Ctrl+C, or Escape twice in a row.
class TQuitDetector {
  public:
    // True when `byte` completes a quit request; such bytes are not typed.
    bool Feed(unsigned char byte);
    // True when `byte` was held back as a possible first half of a quit request.
    bool Holding() const { return FPendingEscape; }

  private:
    bool FPendingEscape = false;
};

// True when standard input is a terminal, where a person types.
bool InputIsTerminal();

// Raw mode of the terminal on standard input for the life of the object (no echo, no line
// buffering, no signals, so Ctrl+C arrives as a byte); restored at destruction. Inactive when
// standard input is no terminal.
class TRawTerminal {
  public:
    TRawTerminal();
    ~TRawTerminal();
    TRawTerminal(const TRawTerminal&) = delete;
    TRawTerminal& operator=(const TRawTerminal&) = delete;
    bool Active() const { return FActive; }

  private:
    bool FActive = false;
    kernel::DWORD FSavedMode = 0;
};

// Standard input as a source of the event loop: types each byte as it arrives (real timing).
// Ctrl+C, Escape twice, or the end of input post WM_QUIT to the calling (UI) thread, unless
// `quitAtEnd` is false: then the end of input only ends this source.
class TTerminalSource final : public IInputSource {
  public:
    explicit TTerminalSource(bool quitAtEnd = true) : FQuitAtEnd(quitAtEnd) {}
    kernel::HANDLE WaitHandle() const override;
    bool OnReadable(user::TKeyboardBridge& bridge) override;

  private:
    TQuitDetector FQuit;
    bool FQuitAtEnd;
};

} // namespace quill::host
