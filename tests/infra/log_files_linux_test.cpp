// The log over the Linux file rules: elections across processes, what other users plant in the
// shared folders, modes, locks held by other processes, and processes writing at once.
#include "infra/log/log_host.h"
#include "infra/log/log_module.h"
#include "infra/log_fixture.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/locale.h"
#include "platform/user/clock.h"
#include "support/language.h"
#include "support/other_user.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quill::infra {
namespace {

using namespace test_log;
namespace fs = std::filesystem;
using std::chrono::milliseconds;

TEST_F(LogTest, HostElectionIsPerProcessAndEndsWithTheHost) {
    auto first = std::make_unique<TLogModule>("/m/First.plu");
    first->Startup();
    ASSERT_TRUE(first->IsHost());
    EXPECT_EQ(TLogHost::Elect(), nullptr) << "a second module of the process is not the host";
    EXPECT_EQ(FindPublishedLogName(), first->LogName());
    // Another process elects its own host, whatever this one holds.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TLogModule other("/m/Other.plu");
        other.Startup();
        _exit(other.IsHost() && other.LogName().find("/Other_") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    first.reset();
    EXPECT_EQ(FindPublishedLogName(), "") << "the name is withdrawn with the host";
    TLogModule next("/m/Next.plu");
    next.Startup();
    EXPECT_TRUE(next.IsHost()) << "the next module to load becomes the host";
    EXPECT_NE(next.LogName().find("/Next_"), std::string::npos);
}

TEST_F(LogTest, NothingPlantedUnderTheHostNamesDecidesTheHostOrTheName) {
    // What an older release kept in shared files: every kind of plant at the host's names.
    const fs::path locks = FLogs / ".locks";
    fs::create_directories(locks);
    const std::string host = LogHostName();
    std::ofstream(locks / host) << "/etc/systemd/system/evil.d/x.log";
    ASSERT_EQ(mkfifo((locks / (host + ".fifo")).c_str(), 0666), 0);
    fs::create_symlink(FRoot / "target", locks / (host + ".link"));
    if (test::CanPlantAsOtherUser()) ASSERT_TRUE(test::GiveToOtherUser((locks / host).string()));
    TLogModule module("/m/Quill.plu");
    module.Startup();
    EXPECT_TRUE(module.IsHost()) << "the election stays inside the process";
    EXPECT_EQ(FindPublishedLogName(), module.LogName());
    EXPECT_EQ(module.LogName().rfind(LogFolder(), 0), 0u);
    EXPECT_FALSE(fs::exists(FRoot / "target"));
    EXPECT_FALSE(fs::exists("/etc/systemd/system/evil.d"));
    // A second module of the process copies the host's name, whatever the shared folders hold.
    TLogModule second("/m/Second.plu");
    second.Startup();
    EXPECT_FALSE(second.IsHost());
    EXPECT_EQ(second.LogName(), module.LogName());
}

TEST_F(LogTest, AnotherUsersPlantsNeitherHangNorRedirectTheLog) {
    QUILL_SKIP_WITHOUT_OTHER_USER();
    // The process folder made in advance by another user, open to all: nothing is written there.
    const fs::path folder = FLogs / ProcessFolderName("Quill");
    fs::create_directories(folder);
    chmod(folder.c_str(), 01777);
    chmod(FLogs.c_str(), 01777);
    ASSERT_TRUE(test::GiveToOtherUser(folder.string()));
    {
        TLogModule module("/m/Quill.plu", {}, kShortLockWait);
        module.Startup();
        ASSERT_NE(module.Log(), nullptr);
        module.Write("Refused", "x");
        EXPECT_GT(module.Log()->PendingCount(), 0u);
        EXPECT_TRUE(fs::is_empty(folder));
    }
    fs::remove_all(folder);
    // A FIFO at the day's file never blocks: the write fails at once and the lines stay queued.
    fs::create_directories(folder);
    TLogModule module("/m/Quill.plu", {}, kShortLockWait);
    module.Startup();
    ASSERT_NE(module.Log(), nullptr);
    const fs::path day = module.Log()->TodayFileName();
    fs::remove(day);
    ASSERT_EQ(mkfifo(day.c_str(), 0666), 0);
    ASSERT_TRUE(test::GiveToOtherUser(day.string()));
    EXPECT_FALSE(module.Log()->AddLine("queued"));
    fs::remove(day);
    // A file of another user at the day's name is not appended to.
    std::ofstream(day) << "theirs\r\n";
    ASSERT_TRUE(test::GiveToOtherUser(day.string()));
    EXPECT_FALSE(module.Log()->AddLine("still queued"));
    EXPECT_EQ(ReadLines(day), std::vector<std::string>{"theirs"});
    fs::remove(day);
    // The machine-wide lock held for ever by someone else costs a bounded wait, not a hang.
    const fs::path lock = FLogs / ".locks" / "_com.pellam.baselog.mutex";
    const int held = open(lock.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(module.Log()->AddLine("written anyway"));
    EXPECT_TRUE(module.Log()->AddLine("and again"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    close(held);
    const auto lines = ReadLines(day);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[lines.size() - 4], "queued");
    EXPECT_EQ(lines.back(), "and again");
}

TEST_F(LogTest, SharedFoldersPlantedByAnotherUserAreNeverUsed) {
    QUILL_SKIP_WITHOUT_OTHER_USER();
    // The lock area as a link to a folder of the other user's choosing: not followed, and the
    // log still writes its lines (only unordered against other writers).
    fs::create_directories(FLogs);
    chmod(FLogs.c_str(), 01777);
    fs::create_directories(FRoot / "chosen");
    fs::create_directory_symlink(FRoot / "chosen", FLogs / ".locks");
    ASSERT_TRUE(test::GiveToOtherUser((FLogs / ".locks").string()));
    {
        TLogModule module("/m/Quill.plu", {}, kShortLockWait);
        module.Startup();
        ASSERT_NE(module.Log(), nullptr);
        module.Write("Unordered", "x");
        EXPECT_EQ(module.Log()->PendingCount(), 0u);
    }
    EXPECT_TRUE(fs::is_empty(FRoot / "chosen"));
    // The log folder itself another user's: the common folder is refused and nothing is written
    // into it.
    fs::remove_all(FRoot / "OrvixEquipment");
    fs::create_directories(FLogs);
    chmod(FLogs.c_str(), 01777);
    ASSERT_TRUE(test::GiveToOtherUser(FLogs.string()));
    EXPECT_EQ(LogFolder(), "");
    TLogModule module("/m/Quill.plu", {}, kShortLockWait);
    module.Startup();
    EXPECT_EQ(module.Log(), nullptr);
    EXPECT_TRUE(fs::is_empty(FLogs));
}

TEST_F(LogTest, FoldersAndFilesBelongToTheirWriter) {
    const mode_t saved = umask(0);
    TLogModule module("/m/Quill.plu");
    module.Startup();
    umask(saved);
    struct stat st {};
    ASSERT_EQ(stat(FLogs.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 01777u) << "the common folder is shared, with the sticky bit";
    ASSERT_EQ(stat(module.Log()->BaseFolder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    ASSERT_EQ(stat(module.Log()->TodayFileName().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    ASSERT_EQ(stat((FLogs / ".locks" / "_com.pellam.baselog.mutex").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u) << "nobody trusts or may write a lock file";
    // A process folder that an older release left open to all is narrowed by its owner.
    chmod(module.Log()->BaseFolder().c_str(), 01777);
    module.Write("Again", "x");
    ASSERT_EQ(stat(module.Log()->BaseFolder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
}

// Runs `plant` in a child process as the other user; whether it succeeded.
bool PlantAsOtherUser(const std::function<bool()>& plant) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        const bool ok = setgid(test::kOtherUser) == 0 && setuid(test::kOtherUser) == 0 && plant();
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What an older release left open to all: a process folder of mode 1777 with a day log of 0666,
// and whatever another user put there meanwhile. Once the folder is narrowed, nothing in it may
// stay writable by others, and the log never appends to a file that someone else can write.
TEST_F(LogTest, ALogFileThatOthersCanWriteIsNeverAppendedTo) {
    TLogModule module("/m/Quill.plu");
    module.Startup();
    TLog* log = module.Log();
    ASSERT_NE(log, nullptr);
    const fs::path folder = log->BaseFolder();
    const fs::path today = log->TodayFileName();
    ASSERT_TRUE(log->AddLine("first"));
    const auto modeOf = [](const fs::path& path) {
        struct stat st {};
        EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    };

    // Narrowing the folder narrows the day log in it.
    chmod(folder.c_str(), 01777);
    chmod(today.c_str(), 0666);
    std::ofstream(folder / "2020-01-01.log") << "old\r\n";
    chmod((folder / "2020-01-01.log").c_str(), 0666);
    ASSERT_TRUE(log->AddLine("second"));
    EXPECT_EQ(modeOf(folder), 0755u);
    EXPECT_EQ(modeOf(today), 0644u);
    EXPECT_EQ(modeOf(folder / "2020-01-01.log"), 0644u);
    EXPECT_EQ(ReadLines(today).back(), "second");

    // A day log left writable by others in a folder already narrowed is not appended to: a fresh
    // file takes its place.
    chmod(today.c_str(), 0666);
    ASSERT_TRUE(log->AddLine("third"));
    EXPECT_EQ(modeOf(today), 0644u);
    EXPECT_EQ(ReadLines(today), std::vector<std::string>{"third"});

    // A second name of a file that everyone may write, planted at the day's name while the folder
    // was open: neither that file nor its mode is ever written through it.
    const fs::path open = FRoot / "open-to-all";
    std::ofstream(open) << "";
    chmod(open.c_str(), 0666);
    fs::remove(today);
    chmod(folder.c_str(), 01777);
    chmod(FRoot.c_str(), 0755);
    if (test::CanPlantAsOtherUser()) {
        ASSERT_TRUE(PlantAsOtherUser([&] { return link(open.c_str(), today.c_str()) == 0; }));
    } else {
        ASSERT_EQ(link(open.c_str(), today.c_str()), 0);
    }
    ASSERT_TRUE(log->AddLine("fourth"));
    EXPECT_EQ(fs::file_size(open), 0u);
    EXPECT_EQ(modeOf(open), 0666u);
    struct stat st {};
    ASSERT_EQ(stat(today.c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 1u);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(ReadLines(today), std::vector<std::string>{"fourth"});
}

TEST_F(LogTest, AFileThatCannotBeOpenedKeepsItsLinesForTheNextWrite) {
    TLogModule module("/m/Quill.plu");
    module.Startup();
    TLog* log = module.Log();
    ASSERT_NE(log, nullptr);
    const std::string today = log->TodayFileName();
    // Another user's link in place of the day's file: the write fails, the link is not followed.
    fs::remove(today);
    const fs::path target = FRoot / "victim";
    fs::create_symlink(target, today);
    module.Write("Kept", "one");
    EXPECT_FALSE(log->AddLine("two"));
    EXPECT_EQ(log->PendingCount(), 2u);
    EXPECT_FALSE(fs::exists(target));
    fs::remove(today);
    EXPECT_TRUE(log->AddLine("three"));
    EXPECT_EQ(log->PendingCount(), 0u);
    const auto lines = ReadLines(today);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Fields(lines[0])[4], "Kept");
    EXPECT_EQ(lines[1], "two");
    EXPECT_EQ(lines[2], "three");
}

TEST_F(LogTest, ProcessesWritingAtOnceNeverInterleaveWithinALine) {
    const fs::path folder = FRoot / "shared";
    constexpr int kLines = 200;
    std::vector<pid_t> children;
    for (char mark : {'a', 'b', 'c'}) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            {
                TLog log(folder.string(), "/m/Quill.plu", false);
                for (int i = 0; i < kLines; ++i)
                    log.AddLine(std::string(5000, mark));
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    int body = 0;
    for (const std::string& line : ReadLines(files[0])) {
        if (line.rfind(">>Module", 0) == 0) continue;
        ++body;
        ASSERT_EQ(line.size(), 5000u);
        EXPECT_EQ(line.find_first_not_of(line[0]), std::string::npos);
    }
    EXPECT_EQ(body, 3 * kLines);
}

} // namespace
} // namespace quill::infra
