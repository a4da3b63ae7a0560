#include "host/key_source.h"

#include "platform/kernel/console.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"

namespace quill::host {

namespace {

constexpr std::uint32_t XK_BackSpace = 0xFF08;
constexpr std::uint32_t XK_Tab = 0xFF09;
constexpr std::uint32_t XK_Return = 0xFF0D;
constexpr std::uint32_t XK_Escape = 0xFF1B;
constexpr std::uint32_t XK_Shift_L = 0xFFE1;
constexpr std::uint32_t XK_Control_L = 0xFFE3;

// The keysym of the unshifted key that types `byte` (with Control for a control code).
std::uint32_t KeysymOfKey(std::uint8_t key) {
    for (std::uint32_t c = 0x20; c <= 0x7E; ++c) {
        const auto stroke = user::CharToKey(static_cast<char>(c));
        if (stroke && stroke->Key == key && !stroke->Shift) return c;
    }
    return 0;
}

void Feed(user::TKeyboardBridge& bridge, std::uint32_t keysym, bool down, std::uint32_t state) {
    user::TToolkitKeyEvent event;
    event.Code = keysym;
    event.Down = down;
    event.HasState = true;
    event.State = state;
    bridge.KeyEvent(event);
}

} // namespace

bool FeedByte(user::TKeyboardBridge& bridge, unsigned char byte) {
    std::uint32_t keysym = 0;
    std::uint32_t state = 0;
    switch (byte) {
    case 0x7F:
    case '\b':
        keysym = XK_BackSpace;
        break;
    case '\n':
    case '\r':
        keysym = XK_Return;
        break;
    case '\t':
        keysym = XK_Tab;
        break;
    case 27:
        keysym = XK_Escape;
        break;
    default: {
        if (byte >= 0x80) return false;
        const auto stroke = user::CharToKey(static_cast<char>(byte));
        if (!stroke) return false;
        keysym = byte >= 0x20 ? byte : KeysymOfKey(stroke->Key);
        if (stroke->Shift) state |= user::KeyStateShift;
        if (stroke->Control) state |= user::KeyStateControl;
    }
    }
    if (keysym == 0) return false;
    if (state & user::KeyStateControl) Feed(bridge, XK_Control_L, true, 0);
    if (state & user::KeyStateShift) Feed(bridge, XK_Shift_L, true, state & user::KeyStateControl);
    Feed(bridge, keysym, true, state);
    Feed(bridge, keysym, false, state);
    if (state & user::KeyStateShift) Feed(bridge, XK_Shift_L, false, state);
    if (state & user::KeyStateControl)
        Feed(bridge, XK_Control_L, false, state & user::KeyStateControl);
    return true;
}

bool TQuitDetector::Feed(unsigned char byte) {
    if (byte == 3) return true; // Ctrl+C
    if (byte == 27) {
        if (FPendingEscape) return true;
        FPendingEscape = true;
        return false;
    }
    FPendingEscape = false;
    return false;
}

bool InputIsTerminal() {
    kernel::DWORD mode = 0;
    return kernel::GetConsoleMode(kernel::GetStdHandle(kernel::STD_INPUT_HANDLE), &mode) != 0;
}

TRawTerminal::TRawTerminal() {
    const kernel::HANDLE input = kernel::GetStdHandle(kernel::STD_INPUT_HANDLE);
    if (!kernel::GetConsoleMode(input, &FSavedMode)) return;
    FActive = kernel::SetConsoleMode(input, 0) != 0;
}

TRawTerminal::~TRawTerminal() {
    if (FActive) kernel::SetConsoleMode(kernel::GetStdHandle(kernel::STD_INPUT_HANDLE), FSavedMode);
}

kernel::HANDLE TTerminalSource::WaitHandle() const {
    return kernel::GetStdHandle(kernel::STD_INPUT_HANDLE);
}

bool TTerminalSource::OnReadable(user::TKeyboardBridge& bridge) {
    unsigned char buffer[256];
    kernel::DWORD got = 0;
    if (!kernel::ReadFile(WaitHandle(), buffer, sizeof buffer, &got, nullptr) || got == 0) {
        if (FQuitAtEnd) user::PostQuitMessage(0);
        return false;
    }
    for (kernel::DWORD i = 0; i < got; ++i) {
        const bool wasHolding = FQuit.Holding();
        if (FQuit.Feed(buffer[i])) {
            user::PostQuitMessage(0);
            return false;
        }
        // An Escape held back as a possible quit is typed once the next byte shows it was not.
        if (wasHolding && !FQuit.Holding()) FeedByte(bridge, 27);
        if (!FQuit.Holding()) FeedByte(bridge, buffer[i]);
    }
    return true;
}

} // namespace quill::host
