// Private to the Windows side of the user services: the key a keyboard hook procedure is running
// for.
//
// The contract promises a hook procedure that the thread's key state already includes the key it
// is called for. Not every system keeps that promise by itself (Wine updates the state only after
// the hooks have run), so the hook chain (keyboard_hook.cpp) notes the key while its procedures
// run, and GetKeyState and GetKeyboardState apply it to the system's state (harmless where the
// system already has).
#pragma once

#include "platform/user/user_types.h"

namespace quill::user::win32 {

struct THookedKey {
    WPARAM Key;   // the virtual key of the message (VK_SHIFT, not VK_LSHIFT)
    LPARAM Flags; // the keystroke flags of the message
};

// The key the calling thread's hook procedures are running for; nil outside a hook.
const THookedKey* HookedKey();

} // namespace quill::user::win32
