// The wiring of the keyboard services into message retrieval: the input list's stage keeps the
// thread's key state and runs its keyboard hooks (keyboard_hook.h), and TranslateMessage converts
// key-downs with the thread's key state and the US English layout (to_ascii.h).
//
// The run-time's start-up (platform/runtime_lifecycle.cpp) calls WireKeyboardServices once, before
// any module can retrieve a message. Both settings are plain atomic stores into
// constant-initialised slots, so no other start-up step needs to run first. Calling it again
// changes nothing.
#pragma once

namespace quill::user {

void WireKeyboardServices();

} // namespace quill::user
