#include "support/x_session.h"

#include "support/screenshot.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quill::testing {

namespace fs = std::filesystem;

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

int Run(const std::vector<std::string>& args, std::string* out) {
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

std::string ArtifactsDir() {
    const std::string dir = std::string(QUILL_BINARY_DIR) + "/artifacts";
    std::error_code ignored;
    fs::create_directories(dir, ignored);
    return dir;
}

TXvfb::TXvfb(const std::string& screen) {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen", "0",
                          screen.c_str(), "-nolisten",  "tcp",      nullptr};
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

TXvfb::~TXvfb() {
    if (FPid > 0) {
        kill(FPid, SIGTERM);
        waitpid(FPid, nullptr, 0);
    }
}

bool TXUser::Do(std::vector<std::string> args, std::string* out) {
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

std::string TXUser::WaitWindow(const std::string& how, const std::string& what,
                               const std::string& except) {
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

void TXUser::Settle() {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
}

void TXUser::ClickAt(const std::string& window, int x, int y) {
    Do({"mousemove", "--window", window, std::to_string(x), std::to_string(y)});
    Do({"click", "1"});
}

void TXUser::Shot(const std::string& name) {
    const std::string dir = ArtifactsDir();
    const std::string xwd = dir + "/" + name + ".xwd";
    if (Ok && Run({"xwd", "-root", "-silent", "-out", xwd}) == 0) {
        const std::string error = XwdToPng(xwd, dir + "/" + name + ".png");
        if (!error.empty()) Log.push_back(error);
        fs::remove(xwd);
    }
}

} // namespace quill::testing
