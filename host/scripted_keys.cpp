#include "host/scripted_keys.h"

#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"

#include <chrono>

namespace quill::host {

namespace {

// As a keyboard types: with the key's scan code (a key without one is taken for a program's).
void Press(user::BYTE key, bool down) {
    const auto scanCode = static_cast<user::BYTE>(user::MapVirtualKeyA(key, user::MAPVK_VK_TO_VSC));
    user::keybd_event(key, scanCode, down ? 0 : user::KEYEVENTF_KEYUP, 0);
}

} // namespace

bool TypeByte(unsigned char byte) {
    if (byte == 0x7F) byte = '\b';
    if (byte == '\n') byte = '\r';
    if (byte >= 0x80) return false;
    const auto stroke = user::CharToKey(static_cast<char>(byte));
    if (!stroke) return false;
    if (stroke->Control) Press(user::VK_LCONTROL, true);
    if (stroke->Shift) Press(user::VK_LSHIFT, true);
    Press(stroke->Key, true);
    Press(stroke->Key, false);
    if (stroke->Shift) Press(user::VK_LSHIFT, false);
    if (stroke->Control) Press(user::VK_LCONTROL, false);
    return true;
}

TScriptedKeys::TScriptedKeys(std::string text, unsigned intervalMs, unsigned settleMs,
                             user::DWORD uiThread, user::UINT quitMessage) {
    FThread =
        std::thread([this, text = std::move(text), intervalMs, settleMs, uiThread, quitMessage] {
            const auto interval = std::chrono::milliseconds(intervalMs);
            auto next = std::chrono::steady_clock::now();
            for (const char c : text) {
                if (FStop) return;
                std::this_thread::sleep_until(next);
                TypeByte(static_cast<unsigned char>(c));
                next += interval;
            }
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(settleMs);
            while (!FStop && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            user::PostThreadMessageA(uiThread, quitMessage, 0, 0);
        });
}

TScriptedKeys::~TScriptedKeys() {
    FStop = true;
    if (FThread.joinable()) FThread.join();
}

} // namespace quill::host
