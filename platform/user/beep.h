// The tone function: Beep rings the terminal bell when standard error or standard output is a
// terminal and does nothing audible otherwise; it does not wait for the tone's duration. Every call
// is counted, with its arguments, so a test can tell that a tone was asked for. Thread-safe.
#pragma once

#include "platform/user/user_types.h"

namespace quill::user {

BOOL Beep(DWORD frequency, DWORD duration);

struct TBeepRecord {
    unsigned Count = 0;  // calls since the process started
    DWORD Frequency = 0; // of the last call
    DWORD Duration = 0;
};
TBeepRecord GetBeepRecord();

} // namespace quill::user
