#include "host/key_source.h"

#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"
#include "platform/user/us_layout.h"

#include <chrono>
#include <cstring>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace quill::host {

namespace {

void Press(user::BYTE key, bool down) {
    user::keybd_event(key, 0, down ? 0 : user::KEYEVENTF_KEYUP, 0);
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

static_assert(sizeof(termios) <= 128);

TRawTerminal::TRawTerminal() {
    if (!::isatty(STDIN_FILENO)) return;
    termios saved{};
    if (::tcgetattr(STDIN_FILENO, &saved) != 0) return;
    std::memcpy(FSaved, &saved, sizeof saved);
    termios raw = saved;
    ::cfmakeraw(&raw);
    raw.c_oflag |= OPOST; // keep "\n" -> "\r\n" for messages written by libraries
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    FActive = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

TRawTerminal::~TRawTerminal() {
    if (!FActive) return;
    termios saved{};
    std::memcpy(&saved, FSaved, sizeof saved);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

TTerminalReader::TTerminalReader(user::DWORD uiThread, user::UINT quitMessage)
    : FUiThread(uiThread), FQuitMessage(quitMessage) {
    if (::pipe(FWakePipe) != 0) FWakePipe[0] = FWakePipe[1] = -1;
    FThread = std::thread([this] { Run(); });
}

TTerminalReader::~TTerminalReader() {
    if (FWakePipe[1] >= 0) {
        const char stop = 0;
        [[maybe_unused]] const auto written = ::write(FWakePipe[1], &stop, 1);
    }
    if (FThread.joinable()) FThread.join();
    for (int fd : FWakePipe)
        if (fd >= 0) ::close(fd);
}

void TTerminalReader::Run() {
    TQuitDetector quit;
    for (;;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {FWakePipe[0], POLLIN, 0}};
        const int count = ::poll(fds, FWakePipe[0] >= 0 ? 2 : 1, -1);
        if (count < 0) continue;
        if (FWakePipe[0] >= 0 && (fds[1].revents & POLLIN)) return;
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        unsigned char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) break; // end of input
        for (ssize_t i = 0; i < got; ++i) {
            const bool wasHolding = quit.Holding();
            if (quit.Feed(buffer[i])) {
                user::PostThreadMessageA(FUiThread, FQuitMessage, 0, 0);
                return;
            }
            // An Escape held back as a possible quit is typed once the next byte shows it was not.
            if (wasHolding && !quit.Holding()) TypeByte(27);
            if (!quit.Holding()) TypeByte(buffer[i]);
        }
    }
    user::PostThreadMessageA(FUiThread, FQuitMessage, 0, 0);
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
