// The tone function: Beep rings the terminal bell when standard error or standard output is a
// terminal and does nothing audible otherwise (on Windows it plays the system's default sound); it
// does not wait for the tone's duration.
// Thread-safe. An object that sounds tones is given its tone function (TToneFunction) when it is
// made, so that a test can hand it one that records the tones asked for.
#pragma once

#include "platform/user/user_types.h"

namespace quill::user {

BOOL Beep(DWORD frequency, DWORD duration);

using TToneFunction = BOOL (*)(DWORD frequency, DWORD duration);

} // namespace quill::user
