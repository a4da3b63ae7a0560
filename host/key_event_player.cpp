#include "host/key_event_player.h"

#include "platform/kernel/named_mutex.h"
#include "platform/user/clock.h"
#include "platform/user/evdev_keymap.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"

#include <algorithm>

namespace quill::host {

TKeyEventPlayer::TKeyEventPlayer(TypedHandler typed, WarningHandler warning)
    : FTyped(std::move(typed)), FWarning(std::move(warning)) {}

void TKeyEventPlayer::Pump() {
    user::MSG msg{};
    while (user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_REMOVE)) {
        user::TranslateMessage(&msg);
        if (msg.message == user::WM_CHAR && FTyped) FTyped(static_cast<char16_t>(msg.wParam));
        user::DispatchMessageA(&msg);
    }
}

void TKeyEventPlayer::PumpUntil(std::uint64_t targetMs) {
    // The platform's wait takes a 32-bit count whose largest value means "for ever": a longer
    // pause (recordings made weeks apart and joined) is waited in steps below that.
    constexpr std::uint64_t longestWait = kernel::INFINITE - 1;
    for (;;) {
        const std::uint64_t now = user::GetTickCount64();
        if (now >= targetMs) return;
        const auto wait = static_cast<user::DWORD>(std::min(targetMs - now, longestWait));
        // The wait ends at the deadline with nothing to do, or earlier for a message (a timer
        // due, a key the plug-in typed).
        if (user::MsgWaitForMultipleObjects(0, nullptr, user::FALSE, wait, user::QS_ALLINPUT) ==
            kernel::WAIT_OBJECT_0)
            Pump();
    }
}

std::uint64_t TKeyEventPlayer::ElapsedMs() const {
    return FStarted ? user::GetTickCount64() - FStartMs : 0;
}

void TKeyEventPlayer::Warn(const TKeyEvent& event, const std::string& text) {
    if (!FWarning) return;
    FWarning((event.Line ? "line " + std::to_string(event.Line) + ": " : std::string()) + text);
}

void TKeyEventPlayer::Feed(const TKeyEvent& event) {
    if (!FStarted) {
        FStarted = true;
        FOriginUs = FLastUs = event.TimeUs;
        FStartMs = user::GetTickCount64();
    }
    if (event.TimeUs < FLastUs) {
        Warn(event, "the time goes back; the event is entered at once");
    } else {
        FLastUs = event.TimeUs;
        PumpUntil(FStartMs + static_cast<std::uint64_t>((event.TimeUs - FOriginUs) / 1000));
    }

    // Made only for a warning: most events need no text.
    auto name = [&] {
        return std::to_string(event.Code) +
               (event.Name.empty() ? std::string() : " (" + event.Name + ")");
    };
    const auto key = user::EvdevKeyToVirtualKey(event.Code);
    if (!key) {
        Warn(event, "unknown key code " + name() + " skipped");
        return;
    }
    if (event.Value < 0 || event.Value > 2) {
        Warn(event, "value " + std::to_string(event.Value) + " of key " + name() + " skipped");
        return;
    }
    const bool press = event.Value != 0;
    if (!press && !FDown[event.Code]) {
        Warn(event, "release of key " + name() + ", which is not down, skipped");
        return;
    }
    FDown[event.Code] = press;
    user::DWORD flags = press ? 0 : user::KEYEVENTF_KEYUP;
    if (key->Extended) flags |= user::KEYEVENTF_EXTENDEDKEY;
    user::keybd_event(key->VirtualKey, key->ScanCode, flags, 0);
    Pump();
}

void TKeyEventPlayer::Settle(std::uint32_t ms) {
    Pump();
    PumpUntil(user::GetTickCount64() + ms);
}

} // namespace quill::host
