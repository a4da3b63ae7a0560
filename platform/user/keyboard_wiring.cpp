// Connects the keyboard services to message retrieval when the run-time loads: the input list's
// stage keeps key state and runs the hooks (keyboard_hook.h), and TranslateMessage converts
// key-downs with the thread's key state and the US English layout (to_ascii.h), and enters the
// character of an Alt code when Alt is released (alt_code.h).
#include "platform/user/keyboard_wiring.h"

#include "platform/user/alt_code.h"
#include "platform/user/key_state.h"
#include "platform/user/keyboard_hook.h"
#include "platform/user/message_queue.h"
#include "platform/user/to_ascii.h"
#include "platform/user/us_layout.h"

namespace quill::user {

namespace {

// Each thread's Alt code in progress, as its key messages are translated.
thread_local TAltCodeEntry tAltCode;

int TranslateKey(const MSG& msg, char16_t* character) {
    const auto key = static_cast<BYTE>(msg.wParam);
    const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    if (!down) {
        if (key != VK_MENU) return 0;
        *character = AltCodeCharacter(tAltCode.AltUp());
        return *character != 0 ? 1 : 0;
    }
    BYTE state[256];
    GetKeyboardState(state);
    const bool extended = (static_cast<std::uint32_t>(msg.lParam) >> 24) & 1;
    if (tAltCode.KeyDown(key, extended, (state[VK_MENU] & 0x80) != 0,
                         (state[VK_CONTROL] & 0x80) != 0))
        return 0;
    WORD out[2] = {};
    if (ToAsciiEx(key, 0, state, out, 0, nullptr) != 1) return 0;
    *character = static_cast<char16_t>(out[0]);
    return 1;
}

} // namespace

void WireKeyboardServices() {
    SetInputStage(&detail::KeyboardRetrievalStage);
    SetKeyTranslator(&TranslateKey);
}
} // namespace quill::user
