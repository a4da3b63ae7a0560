// Private to the Windows side of the user services: the key a keyboard hook procedure is running
// for, and the words of the keys this process entered.
//
// The contract promises a hook procedure that the thread's key state already includes the key it
// is called for, and that GetMessageExtraInfo gives that key's extra-information word. Not every
// system keeps that promise by itself (Wine updates both only after the hooks have run), so the
// hook chain (keyboard_hook.cpp) notes the key while its procedures run: GetKeyState and
// GetKeyboardState apply the key to the system's state (harmless where the system already has),
// and GetMessageExtraInfo answers the word the key was entered with. Keys that keybd_event and
// SendInput enter are noted in order with their words (NoteEnteredKey); a hooked key takes the
// word of the first noted key that it matches, and a key that this process did not enter has 0.
// Input reaches one thread in the order it was entered, so the notes before a match are keys that
// went elsewhere and are dropped with it; notes older than a few seconds are dropped too.
#pragma once

#include "platform/user/user_types.h"

#include <cstdint>

namespace quill::user::win32 {

struct THookedKey {
    WPARAM Key;      // the virtual key of the message (VK_SHIFT, not VK_LSHIFT)
    LPARAM Flags;    // the keystroke flags of the message
    ULONG_PTR Extra; // the word it was entered with
};

// The key the calling thread's hook procedures are running for; nil outside a hook.
const THookedKey* HookedKey();

// Notes a key event about to be entered: its message's virtual key, whether it is a release, and
// its word. Thread-safe.
void NoteEnteredKey(std::uint8_t messageKey, bool release, ULONG_PTR extra);

} // namespace quill::user::win32
