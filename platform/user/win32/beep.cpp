// The tone on Windows: the system's default sound, which is played without waiting for it (the
// system's Beep would hold the caller for the tone's whole duration).
#include "platform/user/beep.h"

#include "platform/user/win32/user_system.h"

namespace quill::user {

BOOL Beep(DWORD, DWORD) {
    // The sound is a courtesy: a system that cannot play it is no failure of the caller's.
    ::MessageBeep(0xFFFFFFFF);
    return TRUE;
}

} // namespace quill::user
