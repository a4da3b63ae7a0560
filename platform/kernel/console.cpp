#include "platform/kernel/console.h"

#include "platform/kernel/last_error.h"
#include "platform/kernel/wait_handle.h"

#include <cerrno>
#include <mutex>
#include <termios.h>
#include <unistd.h>

namespace quill::kernel {

namespace {

constexpr DWORD kInputFlags = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;

struct TConsoleInput {
    HANDLE Handle = detail::NewWaitHandle(STDIN_FILENO);
    std::mutex Lock;
    // The settings the terminal had before it was made raw, while it is: a raw terminal differs
    // in more than the three flags say, and a mode with line input gives all of them back.
    bool Raw = false;
    termios Cooked{};
};

TConsoleInput& Input() {
    static TConsoleInput* input = new TConsoleInput; // standard input outlives every caller
    return *input;
}

DWORD ModeOf(const termios& settings) {
    DWORD mode = 0;
    if (settings.c_lflag & ISIG) mode |= ENABLE_PROCESSED_INPUT;
    if (settings.c_lflag & ICANON) mode |= ENABLE_LINE_INPUT;
    if (settings.c_lflag & ECHO) mode |= ENABLE_ECHO_INPUT;
    return mode;
}

// The terminal's settings now; false (last error set) when standard input is no terminal.
bool Current(termios& settings) {
    if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &settings) == 0) return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

bool IsStandardInput(HANDLE handle) {
    if (handle && handle == Input().Handle) return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

} // namespace

HANDLE GetStdHandle(DWORD which) {
    if (which != STD_INPUT_HANDLE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Input().Handle;
}

BOOL GetConsoleMode(HANDLE console, DWORD* mode) {
    if (!IsStandardInput(console)) return 0;
    if (!mode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    termios now{};
    if (!Current(now)) return 0;
    *mode = ModeOf(now);
    return 1;
}

BOOL SetConsoleMode(HANDLE console, DWORD mode) {
    if (!IsStandardInput(console)) return 0;
    TConsoleInput& input = Input();
    std::lock_guard guard(input.Lock);
    termios settings{};
    if (!Current(settings)) return 0;
    const bool raw = (mode & kInputFlags) == 0;
    const termios before = settings;
    if (raw) {
        ::cfmakeraw(&settings);
        settings.c_oflag |= OPOST; // keep "\n" -> "\r\n" for messages written by libraries
        settings.c_cc[VMIN] = 1;
        settings.c_cc[VTIME] = 0;
    } else {
        if (input.Raw) settings = input.Cooked;
        const auto set = [&settings](tcflag_t flag, bool on) {
            settings.c_lflag = on ? settings.c_lflag | flag : settings.c_lflag & ~flag;
        };
        set(ISIG, mode & ENABLE_PROCESSED_INPUT);
        set(ICANON, mode & ENABLE_LINE_INPUT);
        set(ECHO, mode & ENABLE_ECHO_INPUT);
    }
    if (::tcsetattr(STDIN_FILENO, TCSANOW, &settings) != 0) {
        SetLastErrorFromErrno();
        return 0;
    }
    if (raw && !input.Raw) input.Cooked = before;
    input.Raw = raw;
    return 1;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD size, DWORD* read, void* overlapped) {
    if (!IsStandardInput(file)) return 0;
    if (!read || overlapped || (!buffer && size)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *read = 0;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, size);
        if (got >= 0) {
            *read = static_cast<DWORD>(got);
            return 1;
        }
        if (errno != EINTR) break;
    }
    SetLastErrorFromErrno();
    return 0;
}

void WriteLineEndsAsGiven() {}

} // namespace quill::kernel
