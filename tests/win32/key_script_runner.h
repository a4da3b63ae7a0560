// The key scripts of tests/capture/scripts over the system's own input path: a scanner list made as
// the scanner driver makes it, with the system's thread keyboard hook on the calling thread (which
// plays the host's user-interface thread and the focused application), keys entered with SendInput
// as a keyboard enters them (each with its real scan code; the keypad's digits are navigation keys
// while Num Lock is off) into the program's focused window (focus_window.h), messages retrieved
// and translated as an application does, and the time-out a window timer on the system's clock.
// Each script starts with a fresh scanner list and application, no modifier down and every lock
// key off.
//
// Time: the script's milliseconds pass TimeScale times slower, and every time-out the devices get
// is TimeScale times longer (scanner_list_script.h), so a key delayed by a loaded machine stays
// well inside its time-out. A wait ends early once the capture's timer is stopped and the thread's
// queue is empty: the framing measures time only with that timer, so the rest of the wait would
// pass with nothing to happen.
//
// Live keys (the script's "live"): typed at the first replayed key that the hook chain sees, that
// is once the whole replay is in the input (a replayed key is one without a scan code, which no
// key of the runner lacks: keyboard_capture.h).
//
// Threads: one script at a time, on the thread of the program's focus window; errors in the script
// come back as its result, a window that cannot get the focus throws std::runtime_error.
#pragma once

#include "capture/key_script.h"

#include <string>

namespace quill::test {

struct TRealInputRun {
    // How many of the system's milliseconds one of the script's lasts (see above).
    int TimeScale = 1;
    // The application's side composes the Alt codes it receives: for a system that leaves that
    // to the application's thread and does not do it (SystemComposesAltCodes).
    bool ComposeAltCodes = false;
};

// Runs `script` with a fresh scanner list on the calling thread; empty when every expectation
// holds, else what went wrong.
std::string RunScriptOnRealInput(const KeyScript& script, const TRealInputRun& run);

// Whether the system turns Alt held with keypad digits into the character of that code when the
// Alt key goes up (Windows does; Wine 8 leaves the digits as system characters): types Alt+65
// into the program's window without a hook and looks for the "A".
bool SystemComposesAltCodes();

} // namespace quill::test
