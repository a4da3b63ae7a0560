// Connects the keyboard services to message retrieval when the run-time loads: the input list's
// stage keeps key state and runs the hooks (keyboard_hook.h), and TranslateMessage converts
// key-downs with the thread's key state and the US English layout (to_ascii.h).
#include "platform/user/key_state.h"
#include "platform/user/keyboard_hook.h"
#include "platform/user/message_queue.h"
#include "platform/user/to_ascii.h"

namespace quill::user {

namespace {

int TranslateKey(UINT virtualKey, LPARAM, char16_t* character) {
    BYTE state[256];
    GetKeyboardState(state);
    WORD out[2] = {};
    if (ToAsciiEx(virtualKey, 0, state, out, 0, nullptr) != 1) return 0;
    *character = static_cast<char16_t>(out[0]);
    return 1;
}

// Both settings are plain atomic stores, so no other initialiser needs to run first.
const bool gWired = [] {
    SetInputStage(&detail::KeyboardRetrievalStage);
    SetKeyTranslator(&TranslateKey);
    return true;
}();

} // namespace
} // namespace quill::user
