// quill-host --gui under a virtual X server: xdotool types as a person and as wedge scanners do
// (real X key events, through the toolkit and the keyboard bridge), and the window's input field
// and scan list, reported by the host when the window closes, hold exactly what each should.
#include "support/x_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using quill::testing::OnPath;
using quill::testing::TXUser;
using quill::testing::TXvfb;

// quill-host as a child process with its standard output collected as it comes.
class THostProcess {
  public:
    THostProcess(const std::vector<std::string>& args, const std::string& display) {
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<std::string> env = {"DISPLAY=" + display, "LANG=C.UTF-8",
                                        "QUILL_DATA_DIR=/tmp/quill-gui-test-data"};
        std::vector<char*> envp, argv;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> all = {QUILL_HOST_PATH};
        all.insert(all.end(), args.begin(), args.end());
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            FPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        FReader = std::thread([this, fd = fds[0]] {
            char buffer[4096];
            ssize_t got;
            while ((got = read(fd, buffer, sizeof buffer)) > 0) {
                std::lock_guard guard(FLock);
                FOutput.append(buffer, static_cast<std::size_t>(got));
            }
            close(fd);
        });
    }
    ~THostProcess() {
        if (FPid > 0 && !FEnded) {
            kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
        }
        if (FReader.joinable()) FReader.join();
    }
    bool Started() const { return FPid > 0; }
    std::string Output() {
        std::lock_guard guard(FLock);
        return FOutput;
    }
    bool WaitForOutput(const std::string& text, int seconds = 10) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (Output().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    // Waits for the process to end by itself; its exit code, or -1 after `seconds`.
    int WaitExit(int seconds = 10) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(FPid, &status, WNOHANG) == FPid) {
                FEnded = true;
                if (FReader.joinable()) FReader.join();
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

  private:
    pid_t FPid = -1;
    bool FEnded = false;
    std::thread FReader;
    std::mutex FLock;
    std::string FOutput;
};

// Two devices, as a till has them: a barcode scanner and a card reader with their own framing.
// The time-outs leave room for a virtual X server on a busy machine.
std::string TwoDevices() {
    // CTest runs the tests of this file side by side: each process has its own file.
    const std::string path =
        std::string(QUILL_BINARY_DIR) + "/gui-test-devices-" + std::to_string(getpid()) + ".xml";
    std::ofstream(path)
        << "<EquList>"
           "<Устройство Код=\"{11111111-2222-3333-4444-555555555555}\" "
           "КодМодели=\"{3E9A6C1B-7D24-4F58-A6B2-91C0D3E4F5A7}\" Наименование=\"Till scanner\">"
           "<Параметры><Параметр Идентификатор=\"HookPref\" Зна4ение=\"+++\"/>"
           "<Параметр Идентификатор=\"HookPost\" Зна4ение=\"+++\"/>"
           "<Параметр Идентификатор=\"HookTimeOut\" Зна4ение=\"400\"/></Параметры></Устройство>"
           "<Устройство Код=\"{21111111-2222-3333-4444-555555555555}\" "
           "КодМодели=\"{3E9A6C1B-7D24-4F58-A6B2-91C0D3E4F5A7}\" Наименование=\"Card reader\">"
           "<Параметры><Параметр Идентификатор=\"HookPref\" Зна4ение=\"[\"/>"
           "<Параметр Идентификатор=\"HookPost\" Зна4ение=\"]\"/>"
           "<Параметр Идентификатор=\"HookTimeOut\" Зна4ение=\"400\"/></Параметры></Устройство>"
           "</EquList>";
    return path;
}

// The window's buttons, in window coordinates.
constexpr int kCloseX = 546, kCloseY = 373;
constexpr int kSettingsX = 72, kSettingsY = 373;

class WindowHost : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "xwd", "timeout"})
            if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        const std::string module = std::string(QUILL_BINARY_DIR) + "/quill-host-window.so";
        if (access(module.c_str(), R_OK) != 0) GTEST_SKIP() << "no window module at " << module;
        server = std::make_unique<TXvfb>();
        ASSERT_FALSE(server->Display.empty()) << "Xvfb did not start";
        setenv("DISPLAY", server->Display.c_str(), 1);
    }
    // Starts the host and gives the window the keyboard focus; its id, empty on failure.
    std::string Start(const std::vector<std::string>& args) {
        host = std::make_unique<THostProcess>(args, server->Display);
        if (!host->WaitForOutput("closing it quits")) {
            ADD_FAILURE() << "the window did not open:\n" << host->Output();
            return {};
        }
        const std::string window = user.WaitWindow("--class", "quill-host");
        user.Do({"windowfocus", "--sync", window});
        return window;
    }
    void Type(const std::string& text, int delayMs) {
        user.Do({"type", "--delay", std::to_string(delayMs), text});
    }
    // Closes the window with its button and returns what the host printed to the end.
    std::string Close(const std::string& window) {
        user.ClickAt(window, kCloseX, kCloseY);
        EXPECT_EQ(host->WaitExit(), 0);
        for (const auto& line : user.Log)
            ADD_FAILURE() << line;
        return host->Output();
    }

    std::unique_ptr<TXvfb> server;
    std::unique_ptr<THostProcess> host;
    TXUser user;
};

std::vector<std::string> LinesStartingWith(const std::string& output, const std::string& head) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < output.size()) {
        const std::size_t end = std::min(output.find('\n', start), output.size());
        const std::string line = output.substr(start, end - start);
        if (line.rfind(head, 0) == 0) lines.push_back(line.substr(head.size()));
        start = end + 1;
    }
    return lines;
}

TEST_F(WindowHost, ScansAreCutOutOfTypingAndTheFieldHoldsExactlyTheText) {
    const std::string window = Start({"--settings", TwoDevices(), "--gui"});
    ASSERT_FALSE(window.empty()) << host->Output();
    Type("Qty 2", 90);
    Type("+++4006381333931+++", 3);
    Type(" x3 Milk", 90);
    Type("[CARD-7781]", 1);
    Type(" paid", 90);
    user.Settle();
    user.Shot("quill_host_window");
    // A lone "+" is held when the window closes: it reaches the field once, never twice.
    Type("+", 1);
    const std::string output = Close(window);
    EXPECT_EQ(LinesStartingWith(output, "window field: "),
              std::vector<std::string>{"Qty 2 x3 Milk paid+"})
        << output;
    EXPECT_EQ(LinesStartingWith(output, "window scan: "),
              (std::vector<std::string>{"Till scanner 4006381333931", "Card reader CARD-7781"}))
        << output;
    EXPECT_EQ(LinesStartingWith(output, "event: ").size(), 2u) << output;
    EXPECT_TRUE(std::ifstream(quill::testing::ArtifactsDir() + "/quill_host_window.png").good());
}

TEST_F(WindowHost, ALongRunAtTheFastestRateLosesAndDoublesNothing) {
    const std::string window = Start({"--gui"});
    ASSERT_FALSE(window.empty()) << host->Output();
    // Every key of the main block that opens no scan, in a varying order.
    const std::string keys = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 "
                             "-=;',./`!@#$%^&*()_{}|:\"<>?~\\";
    std::string text;
    for (int i = 0; text.size() < 600; ++i)
        text += keys[(static_cast<std::size_t>(i) * 37) % keys.size()];
    Type(text, 0);
    user.Settle();
    const std::string output = Close(window);
    const auto field = LinesStartingWith(output, "window field: ");
    ASSERT_EQ(field.size(), 1u) << output;
    std::string printed; // as the host prints it: a backslash doubled
    for (char c : text)
        printed += c == '\\' ? std::string("\\\\") : std::string(1, c);
    EXPECT_EQ(field[0], printed);
    EXPECT_TRUE(LinesStartingWith(output, "window scan: ").empty()) << output;
}

TEST_F(WindowHost, TheSettingsButtonOpensTheSelectedDevicesDialog) {
    const std::string window = Start({"--settings", TwoDevices(), "--gui"});
    ASSERT_FALSE(window.empty()) << host->Output();
    user.ClickAt(window, kSettingsX, kSettingsY);
    const std::string dialog = user.WaitWindow("--class", "quill", window);
    user.Settle();
    user.Shot("quill_host_window_settings");
    user.Do({"windowfocus", "--sync", dialog});
    user.Do({"key", "Escape"});
    ASSERT_TRUE(host->WaitForOutput("The settings dialog: cancelled")) << host->Output();
    // The window takes keys again afterwards.
    user.Do({"windowfocus", "--sync", window});
    Type("ok", 20);
    user.Settle();
    const std::string output = Close(window);
    EXPECT_EQ(LinesStartingWith(output, "window field: "), std::vector<std::string>{"ok"})
        << output;
}

} // namespace
