// The console's input on standard input: a terminal has a mode and goes raw and back exactly,
// anything else has none; reading hands over the bytes and then the end.
#include "platform/kernel/console.h"
#include "platform/kernel/last_error.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quill::kernel::testing {
namespace {

// Puts `fd` on standard input for the life of the object.
class TStandardInputAs {
  public:
    explicit TStandardInputAs(int fd) : FSaved(::dup(STDIN_FILENO)) { ::dup2(fd, STDIN_FILENO); }
    ~TStandardInputAs() {
        ::dup2(FSaved, STDIN_FILENO);
        ::close(FSaved);
    }

  private:
    int FSaved;
};

bool SameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

constexpr DWORD kCooked = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;

TEST(ConsoleInput, ATerminalGoesRawAndComesBackAsItWasFound) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    termios found{};
    ASSERT_EQ(::tcgetattr(terminal, &found), 0);
    {
        TStandardInputAs input(terminal);
        const HANDLE console = GetStdHandle(STD_INPUT_HANDLE);
        DWORD mode = 0;
        ASSERT_TRUE(GetConsoleMode(console, &mode));
        EXPECT_EQ(mode & kCooked, kCooked);

        ASSERT_TRUE(SetConsoleMode(console, 0));
        termios raw{};
        ASSERT_EQ(::tcgetattr(terminal, &raw), 0);
        EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(raw.c_iflag & ICRNL, 0u) << "a CR arrives as it was typed";
        EXPECT_NE(raw.c_oflag & OPOST, 0u) << "output still turns LF into CR LF";
        EXPECT_EQ(raw.c_cc[VMIN], 1);
        DWORD rawMode = kCooked;
        ASSERT_TRUE(GetConsoleMode(console, &rawMode));
        EXPECT_EQ(rawMode & kCooked, 0u);
        ASSERT_TRUE(SetConsoleMode(console, 0)) << "raw twice keeps what was found first";

        ASSERT_TRUE(SetConsoleMode(console, mode));
        termios back{};
        ASSERT_EQ(::tcgetattr(terminal, &back), 0);
        EXPECT_TRUE(SameSettings(back, found)) << "every setting, not only the three flags";

        ASSERT_TRUE(SetConsoleMode(console, mode & ~ENABLE_ECHO_INPUT));
        ASSERT_EQ(::tcgetattr(terminal, &back), 0);
        EXPECT_EQ(back.c_lflag & ECHO, 0u);
        EXPECT_NE(back.c_lflag & ICANON, 0u) << "line editing stays";
        ASSERT_TRUE(SetConsoleMode(console, mode));
    }
    ::close(terminal);
    ::close(master);
}

TEST(ConsoleInput, APipeHasNoModeAndIsReadToItsEnd) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ASSERT_EQ(::write(pipe[1], "ab\x03", 3), 3);
    ::close(pipe[1]);
    {
        TStandardInputAs input(pipe[0]);
        const HANDLE console = GetStdHandle(STD_INPUT_HANDLE);
        DWORD mode = 0;
        EXPECT_FALSE(GetConsoleMode(console, &mode)) << "no terminal: nobody types";
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(SetConsoleMode(console, 0));

        char buffer[8] = {};
        DWORD read = 0;
        ASSERT_TRUE(ReadFile(console, buffer, sizeof buffer, &read, nullptr));
        EXPECT_EQ(std::string(buffer, read), "ab\x03");
        ASSERT_TRUE(ReadFile(console, buffer, sizeof buffer, &read, nullptr));
        EXPECT_EQ(read, 0u) << "the end of input";
    }
    ::close(pipe[0]);
    EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-11)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    char byte = 0;
    DWORD read = 0;
    EXPECT_FALSE(ReadFile(reinterpret_cast<HANDLE>(0x1234), &byte, 1, &read, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

} // namespace
} // namespace quill::kernel::testing
