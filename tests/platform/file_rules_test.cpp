// The file rules of the platform: folders walked without links and checked for their owners,
// files opened only when they are regular files, machine-wide locks that never hang, and the
// atomic replacement of a file.
#include "platform/kernel/file_lock.h"
#include "platform/kernel/file_replace.h"
#include "platform/kernel/files.h"
#include "platform/kernel/folders.h"
#include "platform/kernel/named_mutex.h"
#include "support/other_user.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quill::kernel {
namespace {

namespace fs = std::filesystem;

class FileRules : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quill-rules-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        FRoot = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(FRoot, ignored);
    }
    std::string Path(const std::string& name) const { return (FRoot / name).string(); }
    static unsigned ModeOf(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path FRoot;
};

TEST_F(FileRules, FoldersAreWalkedWithoutLinksAndMadeWithTheirExactMode) {
    const mode_t saved = umask(077);
    TFileHandle made = MakeFolders(Path("a/b/shared"), 01777, TFolderUse::Shared);
    umask(saved);
    ASSERT_TRUE(made.Valid()) << made.Error().Text();
    EXPECT_EQ(ModeOf(Path("a")), 0755u) << "parents past the umask";
    EXPECT_EQ(ModeOf(Path("a/b/shared")), 01777u);

    fs::create_directory(Path("real"));
    fs::create_directory_symlink(Path("real"), Path("link"));
    EXPECT_TRUE(OpenFolder(Path("link"), TFolderUse::Walk).Error().Is(TFileError::Link));
    EXPECT_FALSE(OpenFolder(Path("link") + "/", TFolderUse::Walk).Valid())
        << "a trailing slash never makes a link followed";
    EXPECT_FALSE(MakeFolders(Path("link/inner"), 0755, TFolderUse::Private).Valid());
    EXPECT_FALSE(fs::exists(Path("real/inner")));

    // Others may write into a folder on the way without the sticky bit: refused.
    fs::create_directory(Path("open"));
    chmod(Path("open").c_str(), 0777);
    EXPECT_TRUE(MakeFolders(Path("open/x"), 0755, TFolderUse::Private)
                    .Error()
                    .Is(TFileError::AccessDenied));
    // Writable by the caller's own group only: trusted on the way.
    fs::create_directory(Path("group"));
    chmod(Path("group").c_str(), 0775);
    EXPECT_TRUE(MakeFolders(Path("group/x"), 0755, TFolderUse::Private).Valid());
    if (test::CanPlantAsOtherUser()) {
        ASSERT_EQ(lchown(Path("group").c_str(), geteuid(), test::kOtherUser), 0);
        EXPECT_FALSE(OpenFolder(Path("group/x"), TFolderUse::Private).Valid())
            << "another group may rename entries";
    }
    // A private folder of the caller's that others could write into is narrowed.
    fs::create_directory(Path("mine"));
    chmod(Path("mine").c_str(), 01777);
    EXPECT_TRUE(MakeFolders(Path("mine"), 0755, TFolderUse::Private).Valid());
    EXPECT_EQ(ModeOf(Path("mine")), 0755u);
    // A shared folder needs its sticky bit.
    EXPECT_FALSE(OpenFolder(Path("a/b"), TFolderUse::Shared).Valid());
}

TEST_F(FileRules, FoldersOfAnotherUserAreNotTrusted) {
    QUILL_SKIP_WITHOUT_OTHER_USER();
    fs::create_directory(Path("theirs"));
    chmod(Path("theirs").c_str(), 01777);
    ASSERT_TRUE(test::GiveToOtherUser(Path("theirs")));
    EXPECT_FALSE(OpenFolder(Path("theirs"), TFolderUse::Shared).Valid());
    EXPECT_FALSE(OpenFolder(Path("theirs"), TFolderUse::Private).Valid());
    EXPECT_FALSE(MakeFolders(Path("theirs/inner"), 0755, TFolderUse::Private).Valid());
    EXPECT_FALSE(fs::exists(Path("theirs/inner")));
}

TEST_F(FileRules, OnlyRegularFilesAreOpenedAndFifosNeverBlock) {
    TFileHandle folder = OpenFolder(FRoot.string(), TFolderUse::Private);
    ASSERT_TRUE(folder.Valid());
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0666), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(OpenFileAt(folder, "fifo", TFileAccess::Append, TCreation::OrCreate, 0644, true)
                    .Error()
                    .Is(TFileError::AccessDenied));
    EXPECT_FALSE(
        OpenFileAt(folder, "fifo", TFileAccess::Read, TCreation::Existing, 0, false).Valid());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    std::ofstream(Path("target")) << "keep";
    fs::create_symlink(Path("target"), Path("link"));
    EXPECT_TRUE(OpenFileAt(folder, "link", TFileAccess::Write, TCreation::OrCreate, 0644, false)
                    .Error()
                    .Is(TFileError::Link));
    EXPECT_FALSE(
        OpenFileAt(folder, "../x", TFileAccess::Write, TCreation::OrCreate, 0644, false).Valid());

    const mode_t saved = umask(077);
    TFileHandle made =
        OpenFileAt(folder, "new", TFileAccess::Write, TCreation::OrCreate, 0644, true);
    umask(saved);
    ASSERT_TRUE(made.Valid());
    EXPECT_TRUE(WriteAll(made, "abc", 3).Ok());
    EXPECT_EQ(ModeOf(Path("new")), 0644u);
    std::string back;
    TFileHandle again = OpenFileAt(folder, "new", TFileAccess::Read, TCreation::Existing, 0, true);
    ASSERT_TRUE(again.Valid());
    ASSERT_TRUE(ReadAll(again, back).Ok());
    EXPECT_EQ(back, "abc");
}

TEST_F(FileRules, FilesOfAnotherUserAreRefusedWhereOnlyOursWillDo) {
    QUILL_SKIP_WITHOUT_OTHER_USER();
    TFileHandle folder = OpenFolder(FRoot.string(), TFolderUse::Private);
    std::ofstream(Path("theirs")) << "x";
    ASSERT_TRUE(test::GiveToOtherUser(Path("theirs")));
    EXPECT_FALSE(
        OpenFileAt(folder, "theirs", TFileAccess::Append, TCreation::OrCreate, 0644, true).Valid());
    EXPECT_TRUE(
        OpenFileAt(folder, "theirs", TFileAccess::Read, TCreation::Existing, 0, false).Valid());
    EXPECT_EQ(Read(Path("theirs")), "x");
}

TEST_F(FileRules, FilesOthersMayWriteAreRefusedWhereOnlyOursWillDoAndRenewedWhenPrivate) {
    TFileHandle folder = OpenFolder(FRoot.string(), TFolderUse::Private);
    ASSERT_TRUE(folder.Valid());
    std::ofstream(Path("open")) << "written by anyone";
    chmod(Path("open").c_str(), 0662);
    std::ofstream(Path("elsewhere")) << "keep";
    chmod(Path("elsewhere").c_str(), 0644);
    ASSERT_EQ(link(Path("elsewhere").c_str(), Path("second-name").c_str()), 0);
    for (const char* name : {"open", "second-name"}) {
        EXPECT_TRUE(OpenFileAt(folder, name, TFileAccess::Append, TCreation::OrCreate, 0644, true)
                        .Error()
                        .Is(TFileError::AccessDenied))
            << name;
        TFileHandle fresh =
            OpenFileAt(folder, name, TFileAccess::Append, TCreation::Renew, 0644, true);
        ASSERT_TRUE(fresh.Valid()) << name;
        EXPECT_TRUE(WriteAll(fresh, "new", 3).Ok());
        EXPECT_EQ(Read(Path(name)), "new");
        EXPECT_EQ(ModeOf(Path(name)), 0644u);
    }
    EXPECT_EQ(Read(Path("elsewhere")), "keep");
    EXPECT_EQ(ModeOf(Path("elsewhere")), 0644u);

    // Where others may create files, a name once removed may be theirs the next moment: refused.
    fs::create_directory(Path("shared"));
    chmod(Path("shared").c_str(), 01777);
    TFileHandle shared = OpenFolder(Path("shared"), TFolderUse::Shared);
    ASSERT_TRUE(shared.Valid());
    std::ofstream(Path("shared/open")) << "x";
    chmod(Path("shared/open").c_str(), 0666);
    EXPECT_TRUE(OpenFileAt(shared, "open", TFileAccess::Write, TCreation::Renew, 0644, true)
                    .Error()
                    .Is(TFileError::AccessDenied));
    EXPECT_EQ(Read(Path("shared/open")), "x");
}

// A private folder that was open to all is narrowed with what it holds, all the way down; what
// has a second name or is no file or folder of the caller's keeps its mode.
TEST_F(FileRules, NarrowingAFolderNarrowsWhatItHolds) {
    fs::create_directories(Path("mine/inner"));
    std::ofstream(Path("mine/log")) << "x";
    std::ofstream(Path("mine/inner/deep")) << "x";
    std::ofstream(Path("open-to-all")) << "x";
    ASSERT_EQ(link(Path("open-to-all").c_str(), Path("mine/linked").c_str()), 0);
    fs::create_symlink(Path("open-to-all"), Path("mine/symlink"));
    for (const char* name : {"mine/log", "mine/inner/deep", "open-to-all"})
        chmod(Path(name).c_str(), 0666);
    chmod(Path("mine/inner").c_str(), 0777);
    chmod(Path("mine").c_str(), 01777);
    ASSERT_TRUE(OpenFolder(Path("mine"), TFolderUse::Private).Valid());
    EXPECT_EQ(ModeOf(Path("mine")), 0755u);
    EXPECT_EQ(ModeOf(Path("mine/log")), 0644u);
    EXPECT_EQ(ModeOf(Path("mine/inner")), 0755u);
    EXPECT_EQ(ModeOf(Path("mine/inner/deep")), 0644u);
    EXPECT_EQ(ModeOf(Path("open-to-all")), 0666u)
        << "neither its second name nor a link narrows it";
}

TEST_F(FileRules, AHeldLockCostsABoundedWaitAndNeverTheFileItsContent) {
    TFileHandle folder = OpenFolder(FRoot.string(), TFolderUse::Private);
    const mode_t saved = umask(0);
    TFileLock holder(folder, "lock");
    umask(saved);
    ASSERT_TRUE(holder.Valid());
    EXPECT_EQ(ModeOf(Path("lock")), 0644u) << "nobody but its maker may write the lock file";
    ASSERT_TRUE(holder.Lock(0));
    TFileLock waiter(folder, "lock");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(waiter.Lock(20));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(20));
    EXPECT_LT(waited, std::chrono::seconds(2));
    holder.Unlock();
    EXPECT_TRUE(waiter.Lock(20));
    // A FIFO in place of the lock file is never opened; the lock is simply not available.
    ASSERT_EQ(mkfifo(Path("fifo-lock").c_str(), 0666), 0);
    TFileLock planted(folder, "fifo-lock");
    EXPECT_FALSE(planted.Valid());
    EXPECT_FALSE(planted.Lock(5));
}

TEST_F(FileRules, ResolvingAHostsPathFollowsOnlyLinksTheKernelWouldTrust) {
    fs::create_directory(Path("sub"));
    std::ofstream(Path("sub/file")) << "x";
    fs::create_symlink("sub/file", Path("relative"));
    TResolvedPath where;
    ASSERT_TRUE(ResolvePath(Path("relative"), where).Ok());
    EXPECT_EQ(where.Name, "file");
    EXPECT_TRUE(ResolvePath(Path("sub/"), where).Is(TFileError::IsFolder));
    fs::create_symlink("loop", Path("loop"));
    EXPECT_TRUE(ResolvePath(Path("loop"), where).Is(TFileError::Link));
}

TEST_F(FileRules, ALinkOfAnotherUserInAStickyWorldWritableFolderIsNotFollowed) {
    QUILL_SKIP_WITHOUT_OTHER_USER();
    fs::create_directory(Path("tmp"));
    chmod(Path("tmp").c_str(), 01777);
    std::ofstream(Path("protected")) << "root only";
    chmod(Path("protected").c_str(), 0600);
    fs::create_symlink(Path("protected"), Path("tmp/table.dat"));
    ASSERT_TRUE(test::GiveToOtherUser(Path("tmp/table.dat")));
    TResolvedPath where;
    EXPECT_TRUE(ResolvePath(Path("tmp/table.dat"), where).Is(TFileError::AccessDenied));
    const TFilePiece piece{"evil", 4};
    EXPECT_TRUE(
        ReplaceFileContents(Path("tmp/table.dat"), {&piece, 1}).Is(TFileError::AccessDenied));
    EXPECT_EQ(Read(Path("protected")), "root only");
    // The caller's own link there is followed, as the kernel would.
    fs::remove(Path("tmp/table.dat"));
    fs::create_symlink(Path("protected"), Path("tmp/table.dat"));
    EXPECT_TRUE(ReplaceFileContents(Path("tmp/table.dat"), {&piece, 1}).Ok());
    EXPECT_EQ(Read(Path("protected")), "evil");
    EXPECT_TRUE(fs::is_symlink(Path("tmp/table.dat")));
}

TEST_F(FileRules, AReplacedFileKeepsItsOwnerAndModeAndNothingElseStays) {
    std::ofstream(Path("kept")) << "old";
    chmod(Path("kept").c_str(), 0640);
    if (test::CanPlantAsOtherUser()) ASSERT_TRUE(test::GiveToOtherUser(Path("kept")));
    const TFilePiece pieces[] = {{"ne", 2}, {"w", 1}};
    ASSERT_TRUE(ReplaceFileContents(Path("kept"), pieces).Ok());
    EXPECT_EQ(Read(Path("kept")), "new");
    struct stat st {};
    ASSERT_EQ(stat(Path("kept").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (test::CanPlantAsOtherUser()) EXPECT_EQ(st.st_uid, test::kOtherUser);
    // A new file gets 0666 less the umask.
    const mode_t saved = umask(027);
    ASSERT_TRUE(ReplaceFileContents(Path("fresh"), pieces).Ok());
    umask(saved);
    EXPECT_EQ(ModeOf(Path("fresh")), 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(FRoot), fs::directory_iterator()), 2)
        << "no temporary file stays behind";
    // A folder in the way is an error of its own kind.
    fs::create_directory(Path("dir"));
    EXPECT_TRUE(ReplaceFileContents(Path("dir"), pieces).Failed());
    EXPECT_TRUE(ReplaceFileContents(Path("missing/file"), pieces).Failed());
}

// A named mutex's lock file held by someone else: creating the mutex with initial ownership
// returns at once without it, instead of waiting for ever (inside a library's load).
TEST_F(FileRules, AHeldMutexFileNeverStopsItsCreator) {
    setenv("QUILL_RUNTIME_DIR", Path("objects").c_str(), 1);
    ASSERT_TRUE(MakeFolders(Path("objects"), 01777, TFolderUse::Shared).Valid());
    const std::string file = Path("objects/mutex-Held");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        // Holds both bytes of the file, as a hostile process may.
        const int fd = open(file.c_str(), O_RDWR | O_CREAT, 0666);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_len = 2;
        const char ok = fd >= 0 && fcntl(fd, F_OFD_SETLK, &lock) == 0 ? '1' : '0';
        (void)!write(ready[1], &ok, 1);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    const auto start = std::chrono::steady_clock::now();
    HANDLE mutex = CreateMutexA(nullptr, 1, "Held");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT) << "not owned while another holds it";
    CloseHandle(mutex);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    unsetenv("QUILL_RUNTIME_DIR");
}

TEST_F(FileRules, FailuresComeBackAsNamedErrorsThatKeepTheSystemsCode) {
    std::string text;
    EXPECT_TRUE(ReadFileAt(Path("missing"), text).Is(TFileError::NotFound));
    std::ofstream(Path("plain")) << "12345";
    EXPECT_TRUE(ReadFileAt(Path("plain/inner"), text).Is(TFileError::NotFound))
        << "a file where a folder should be";
    EXPECT_TRUE(ReadFileAt(Path("plain"), text, 4).Is(TFileError::TooLarge));
    ASSERT_TRUE(ReadFileAt(Path("plain"), text, 5).Ok());
    EXPECT_EQ(text, "12345");

    // The reason travels with the empty handle, through moves too.
    TFileHandle missing = OpenFolder(Path("none"), TFolderUse::Walk);
    TFileHandle moved = std::move(missing);
    EXPECT_TRUE(moved.Error().Is(TFileError::NotFound));
    TFileHandle assigned = OpenFolder(FRoot.string(), TFolderUse::Private);
    assigned = std::move(moved);
    EXPECT_TRUE(assigned.Error().Is(TFileError::NotFound));
    EXPECT_TRUE(OpenFolder(FRoot.string(), TFolderUse::Private).Error().Ok());

    // A failure reported to a COM caller keeps the system's own code.
    EXPECT_EQ(HResultFromFileError(TFileError::Of(TFileError::TooLarge)),
              static_cast<com::HRESULT>(0x800700DF));
    EXPECT_EQ(HResultFromFileError(TFileError::Of(TFileError::OutOfMemory)), com::E_OUTOFMEMORY);
    EXPECT_EQ(HResultFromFileError(TFileError::FromSystem(EROFS)),
              static_cast<com::HRESULT>(0x80070013));
}

} // namespace
} // namespace quill::kernel
