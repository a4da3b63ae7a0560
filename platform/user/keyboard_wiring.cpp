#include "platform/user/keyboard_wiring.h"

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

} // namespace

void WireKeyboardServices() {
    SetInputStage(&detail::KeyboardRetrievalStage);
    SetKeyTranslator(&TranslateKey);
}
} // namespace quill::user
