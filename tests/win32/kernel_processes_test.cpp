// The log's file steps across processes: a lock held by another process excludes this one until
// that process ends, and processes appending to one file at once never tear each other's lines.
#include "platform/kernel/file_lock.h"
#include "platform/kernel/files.h"
#include "platform/kernel/folders.h"
#include "win32/scratch_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

namespace quill::kernel {
namespace {

// Starts this program again to run only `test` (a disabled one), with `folder` in its
// environment; the process handle, or nil.
HANDLE StartChild(const char* test, const std::string& folder) {
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(program) + L"\" --gtest_filter=" +
                           std::wstring(test, test + std::strlen(test)) +
                           L" --gtest_also_run_disabled_tests";
    ::SetEnvironmentVariableA("QUILL_TEST_FOLDER", folder.c_str());
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION child{};
    const BOOL started = ::CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0,
                                          nullptr, nullptr, &startup, &child);
    ::SetEnvironmentVariableA("QUILL_TEST_FOLDER", nullptr);
    if (!started) return nullptr;
    ::CloseHandle(child.hThread);
    return child.hProcess;
}

bool EndedWell(HANDLE process) {
    ::DWORD code = 1;
    const bool ended = ::WaitForSingleObject(process, 60000) == WAIT_OBJECT_0 &&
                       ::GetExitCodeProcess(process, &code) && code == 0;
    ::CloseHandle(process);
    return ended;
}

std::string EventName(const std::string& folder, const char* what) {
    return "Quill.KernelTest." + std::string(what) + "." +
           std::to_string(std::hash<std::string>()(folder));
}

// Run only as a child: takes the lock, says so, and ends holding it when told to.
TEST(Win32FileLockAcrossProcesses, DISABLED_ChildHoldsTheLock) {
    const char* folder = std::getenv("QUILL_TEST_FOLDER");
    ASSERT_NE(folder, nullptr);
    TFileLock lock(OpenFolder(folder, TFolderUse::Walk), "log.lock");
    ASSERT_TRUE(lock.Lock(0));
    HANDLE held = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, EventName(folder, "Held").c_str());
    HANDLE go = ::OpenEventA(SYNCHRONIZE, FALSE, EventName(folder, "Go").c_str());
    ASSERT_TRUE(held && go);
    ::SetEvent(held);
    ASSERT_EQ(::WaitForSingleObject(go, 60000), WAIT_OBJECT_0);
    ::ExitProcess(0); // holding the lock
}

TEST(Win32FileLockAcrossProcesses, AnotherProcessExcludesThisOneUntilItEnds) {
    test::TScratchFolder scratch;
    const std::string folder = scratch.Path();
    HANDLE held = ::CreateEventA(nullptr, TRUE, FALSE, EventName(folder, "Held").c_str());
    HANDLE go = ::CreateEventA(nullptr, TRUE, FALSE, EventName(folder, "Go").c_str());
    HANDLE child = StartChild("Win32FileLockAcrossProcesses.DISABLED_ChildHoldsTheLock", folder);
    ASSERT_NE(child, nullptr);
    HANDLE waits[] = {held, child};
    ASSERT_EQ(::WaitForMultipleObjects(2, waits, FALSE, 60000), WAIT_OBJECT_0);
    TFileLock lock(OpenFolder(folder, TFolderUse::Walk), "log.lock");
    EXPECT_FALSE(lock.Lock(0));
    EXPECT_FALSE(lock.Lock(10));
    ::SetEvent(go);
    EXPECT_TRUE(EndedWell(child));
    EXPECT_TRUE(lock.Lock(0)) << "the lock outlived the process that held it";
    ::CloseHandle(held);
    ::CloseHandle(go);
}

constexpr int kLines = 200;
constexpr std::size_t kLineLength = 5000;

// Run only as a child: appends its lines, each in one write under the lock file, as the log
// does, marked with its own letter. (Wine does not make an append of one write whole on its own:
// the lock is what keeps lines apart.)
TEST(Win32FileLockAcrossProcesses, DISABLED_ChildAppends) {
    const char* folder = std::getenv("QUILL_TEST_FOLDER");
    const char* mark = std::getenv("QUILL_TEST_MARK");
    ASSERT_TRUE(folder && mark);
    const TFileHandle open = OpenFolder(folder, TFolderUse::Walk);
    const TFileHandle file =
        OpenFileAt(open, "shared.log", TFileAccess::Append, TCreation::OrCreate, 0644, false);
    ASSERT_TRUE(file);
    TFileLock lock(open, "log.lock");
    const std::string line = std::string(kLineLength, mark[0]) + "\r\n";
    for (int i = 0; i < kLines; ++i) {
        ASSERT_TRUE(lock.Lock(60000));
        ASSERT_TRUE(WriteAll(file, line.data(), line.size()).Ok());
        lock.Unlock();
    }
}

TEST(Win32FileLockAcrossProcesses, ProcessesAppendingUnderTheLockNeverTearALine) {
    test::TScratchFolder scratch;
    std::vector<HANDLE> children;
    for (const char* mark : {"a", "b", "c"}) {
        ::SetEnvironmentVariableA("QUILL_TEST_MARK", mark);
        children.push_back(
            StartChild("Win32FileLockAcrossProcesses.DISABLED_ChildAppends", scratch.Path()));
        ASSERT_NE(children.back(), nullptr);
    }
    ::SetEnvironmentVariableA("QUILL_TEST_MARK", nullptr);
    for (HANDLE child : children)
        EXPECT_TRUE(EndedWell(child));
    std::ifstream in(scratch.Native() / "shared.log", std::ios::binary);
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        ++lines;
        ASSERT_EQ(line.size(), kLineLength + 1) << "line " << lines;
        EXPECT_EQ(line.find_first_not_of(line[0]), kLineLength) << "line " << lines;
    }
    EXPECT_EQ(lines, 3 * kLines);
}

} // namespace
} // namespace quill::kernel
