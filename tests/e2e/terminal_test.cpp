// The reference host on a real terminal: quill-host runs in a tmux pane, a scan and ordinary text
// are typed into the pane as a wedge scanner and a person would, and the pane shows the event and
// the echoed text.
#include "host_runner.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::string Run(const std::string& command) {
    return quill::test::RunCommand(command + " 2>/dev/null").Text;
}

class TmuxSession {
  public:
    // A server of its own per session: a server still shutting down is never reused.
    TmuxSession()
        : FSocket("quill-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(++Count)) {}
    ~TmuxSession() { Run(Tmux() + " kill-server"); }

    std::string Tmux() const { return "tmux -u -L " + FSocket; }
    bool Start(const std::string& program) {
        // The pane stays after the host ends, so that its last lines can be read.
        return std::system((Tmux() + " new-session -d -s host -x 160 -y 40 \"" + program +
                            "\" \\; set-option -t host remain-on-exit on")
                               .c_str()) == 0;
    }
    void SendLiteral(const std::string& text) {
        Run(Tmux() + " send-keys -t host -l '" + text + "'");
    }
    void SendKey(const std::string& key) { Run(Tmux() + " send-keys -t host " + key); }
    std::string Pane() { return Run(Tmux() + " capture-pane -p -t host -S -100"); }
    // Waits up to `seconds` for `text` to show in the pane.
    bool WaitFor(const std::string& text, int seconds = 10) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (Pane().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

  private:
    static inline int Count = 0;
    std::string FSocket;
};

} // namespace

TEST(TerminalHost, AScanAndTextTypedIntoTheTerminal) {
    if (std::system("tmux -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
    TmuxSession tmux;
    ASSERT_TRUE(tmux.Start(std::string("QUILL_DATA_DIR=/tmp/quill-e2e-data LANG=C.UTF-8 ") +
                           QUILL_HOST_PATH));
    ASSERT_TRUE(tmux.WaitFor("Quit: Ctrl+C")) << tmux.Pane();

    // The scanner types its whole code at once; the person types a word and Enter.
    tmux.SendLiteral("+++12345+++");
    ASSERT_TRUE(tmux.WaitFor("data=12345")) << tmux.Pane();
    tmux.SendLiteral("hello");
    tmux.SendKey("Enter");
    ASSERT_TRUE(tmux.WaitFor("typed: hello")) << tmux.Pane();

    const std::string pane = tmux.Pane();
    EXPECT_NE(pane.find("event: source=Сканер name=Сканер штрихкодов клавиатурный №1 data=12345"),
              std::string::npos)
        << pane;
    // The scan's keys were taken out of the typing.
    EXPECT_EQ(pane.find("typed: +"), std::string::npos) << pane;

    // Escape pressed twice ends the host as Ctrl+C does.
    tmux.SendKey("Escape");
    tmux.SendKey("Escape");
    EXPECT_TRUE(tmux.WaitFor("Bye")) << tmux.Pane();
}

TEST(TerminalHost, TheSettingsDialogSetsThePrefixBeforeCapture) {
    if (std::system("tmux -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
    TmuxSession tmux;
    ASSERT_TRUE(tmux.Start(std::string("QUILL_DATA_DIR=/tmp/quill-e2e-data LANG=ru_RU.UTF-8 ") +
                           QUILL_HOST_PATH + " --dialog"));
    ASSERT_TRUE(tmux.WaitFor("[Отмена]")) << tmux.Pane();
    // Field 2 is the prefix; 5 is OK.
    tmux.SendLiteral("2");
    tmux.SendKey("Enter");
    ASSERT_TRUE(tmux.WaitFor("> 2\nПрефикс:")) << tmux.Pane();
    tmux.SendLiteral("##");
    tmux.SendKey("Enter");
    ASSERT_TRUE(tmux.WaitFor("Префикс: [##]")) << tmux.Pane();
    tmux.SendLiteral("5");
    tmux.SendKey("Enter");
    ASSERT_TRUE(tmux.WaitFor("The settings dialog: accepted")) << tmux.Pane();
    ASSERT_TRUE(tmux.WaitFor("Quit: Ctrl+C")) << tmux.Pane();
    tmux.SendLiteral("##555+++");
    EXPECT_TRUE(tmux.WaitFor("data=555")) << tmux.Pane();
    tmux.SendKey("C-c");
    EXPECT_TRUE(tmux.WaitFor("Bye")) << tmux.Pane();
}
