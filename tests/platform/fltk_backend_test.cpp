// The FLTK window under a virtual X server: a person's keys and clicks (real X input events sent
// with xdotool) edit the settings dialog; screenshots go to <build>/artifacts/.
#include "capture/manager/manager_quill_list.h"
#include "capture/settings_dialog/kb_settings.h"
#include "platform/kernel/codepage.h"
#include "platform/ui/form_backend.h"
#include "screenshot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

// The font library keeps its font patterns for the life of the process; under the leak checker
// that is reported as lost memory, though no code of ours can release it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace quill::ui {
namespace {

namespace fs = std::filesystem;

const std::string kFltkModule = std::string(QUILL_BINARY_DIR) + "/quill-fltk.so";
const std::string kArtifacts = std::string(QUILL_BINARY_DIR) + "/artifacts";

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        if (access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// Runs a program to its end; its standard output goes to `out` when given. Returns the exit code.
int Run(const std::vector<std::string>& args, std::string* out = nullptr) {
    int pipeFds[2] = {-1, -1};
    if (out && pipe(pipeFds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    }
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (out) {
        close(pipeFds[1]);
        char buffer[256];
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
            out->append(buffer, std::size_t(n));
        close(pipeFds[0]);
    }
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A virtual X server on a display number it picks itself; ended with the object.
class TXvfb {
  public:
    TXvfb() {
        int fds[2];
        if (pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",       "-displayfd", fd.c_str(), "-screen", "0",
                              "640x400x24", "-nolisten",  "tcp",      nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&FPid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            FPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        std::string number;
        char c;
        while (FPid > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (!number.empty()) Display = ":" + number;
    }
    ~TXvfb() {
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
        }
    }
    std::string Display;

  private:
    pid_t FPid = -1;
};

// The person at the keyboard: xdotool with real (XTEST) input events.
class TXUser {
  public:
    bool Ok = true;
    std::vector<std::string> Log;

    bool Do(std::vector<std::string> args, std::string* out = nullptr) {
        if (!Ok) return false;
        args.insert(args.begin(), {"timeout", "10", "xdotool"});
        Ok = Run(args, out) == 0;
        if (!Ok) {
            std::string line;
            for (const auto& a : args)
                line += a + " ";
            Log.push_back("failed: " + line);
        }
        return Ok;
    }
    // Waits for a visible window that matches `how` ("--class", "--name") `what`, other than
    // `except`; returns its id.
    std::string WaitWindow(const std::string& how, const std::string& what,
                           const std::string& except = {}) {
        for (int attempt = 0; attempt < 100 && Ok; ++attempt) {
            std::string out;
            Run({"xdotool", "search", "--onlyvisible", how, what}, &out);
            std::size_t start = 0;
            while (start < out.size()) {
                const std::size_t end = out.find('\n', start);
                const std::string id = out.substr(start, end - start);
                if (!id.empty() && id != except) return id;
                if (end == std::string::npos) break;
                start = end + 1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        Ok = false;
        Log.push_back("no window " + what);
        return {};
    }
    void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(400)); }
    void ClickAt(const std::string& window, int x, int y) {
        Do({"mousemove", "--window", window, std::to_string(x), std::to_string(y)});
        Do({"click", "1"});
    }
    void Shot(const std::string& name) {
        const std::string xwd = kArtifacts + "/" + name + ".xwd";
        if (Ok && Run({"xwd", "-root", "-silent", "-out", xwd}) == 0) {
            const std::string error = testing::XwdToPng(xwd, kArtifacts + "/" + name + ".png");
            if (!error.empty()) Log.push_back(error);
            fs::remove(xwd);
        }
    }
};

capture::TKBSettingsValues Device() {
    return {"Scanner1", "[", "]", [] { return 65; }};
}

TEST(FltkBackend, APersonEditsTheSettingsDialogInARealWindow) {
    for (const char* tool : {"Xvfb", "xdotool", "xwd", "timeout"}) {
        if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    if (access(kFltkModule.c_str(), R_OK) != 0) GTEST_SKIP() << "no FLTK module at " << kFltkModule;
    TXvfb server;
    ASSERT_FALSE(server.Display.empty()) << "Xvfb did not start";
    setenv("DISPLAY", server.Display.c_str(), 1);
    TFormBackend* backend = FltkFormBackend(kFltkModule);
    ASSERT_NE(backend, nullptr) << "the FLTK module did not load or reach " << server.Display;
    ASSERT_EQ(CurrentFormBackend(), backend) << "a display and the module: the FLTK window";
    fs::create_directories(kArtifacts);

    // OK with an empty identifier, then a proper edit: identifier, suffix, time-out, OK.
    TXUser user;
    std::thread person([&] {
        const std::string dialog = user.WaitWindow("--class", "quill");
        user.Settle();
        user.Shot("settings_dialog");
        user.ClickAt(dialog, 150, 18); // the identifier
        user.Do({"key", "ctrl+a", "BackSpace"});
        user.ClickAt(dialog, 200, 170); // OK
        const std::string message = user.WaitWindow("--name", ".", dialog);
        user.Settle();
        user.Shot("settings_dialog_message");
        user.Do({"windowfocus", "--sync", message});
        user.Do({"key", "Return"});
        user.Settle();
        user.Do({"windowfocus", "--sync", dialog});
        user.ClickAt(dialog, 150, 18);
        user.Do({"type", "--delay", "20", "Desk 7"});
        user.ClickAt(dialog, 200, 94); // the suffix
        user.Do({"key", "ctrl+a"});
        user.Do({"type", "#"});
        user.Do({"key", "Tab", "Right"}); // to the track bar, one line step up
        user.Settle();
        user.Shot("settings_dialog_edited");
        user.ClickAt(dialog, 200, 170); // OK
    });
    // The dialog of a real scanner device, whose parameters must hold the choice afterwards.
    capture::TManagerQuillList list(rtl::ItemClassOf<capture::TManagerQuill>);
    auto* device = static_cast<capture::TManagerQuill*>(list.Add());
    const capture::TKBSettingsValues values = Device();
    device->SetIdentifier(values.Identifier);
    device->SetParamStr("HookPref", values.HookPref);
    device->SetParamStr("HookPost", values.HookPost);
    device->SetParamInt("HookTimeOut", values.ReadHookTimeOut());
    const int result = device->ShowSettings();
    person.join();
    for (const auto& line : user.Log)
        ADD_FAILURE() << line;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(device->Identifier(), "Desk 7");
    EXPECT_EQ(device->GetParamStr("HookPref"), "[");
    EXPECT_EQ(device->GetParamStr("HookPost"), "#");
    EXPECT_EQ(device->GetParamStr("HookTimeOut"), "90");
    EXPECT_TRUE(fs::exists(kArtifacts + "/settings_dialog.png"));

    // Cancel after typing, and Escape: nothing comes back.
    TXUser again;
    std::thread leaver([&] {
        std::string dialog = again.WaitWindow("--class", "quill");
        again.Settle();
        again.ClickAt(dialog, 150, 18);
        again.Do({"type", "lost"});
        again.ClickAt(dialog, 288, 170); // Отмена
        dialog = again.WaitWindow("--class", "quill", dialog);
        again.Settle();
        again.Do({"windowfocus", "--sync", dialog});
        again.Do({"key", "Escape"});
    });
    EXPECT_EQ(device->ShowSettings(), -1);
    EXPECT_EQ(device->ShowSettings(), -1);
    leaver.join();
    for (const auto& line : again.Log)
        ADD_FAILURE() << line;
    EXPECT_EQ(device->Identifier(), "Desk 7"); // cancelled dialogs change nothing
    EXPECT_EQ(device->GetParamStr("HookPost"), "#");
}

} // namespace
} // namespace quill::ui
