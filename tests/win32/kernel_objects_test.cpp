// Named mutexes and security descriptors over the system's own kernel objects: one machine-wide
// object per name, creation that never waits on another holder, abandonment across processes, and
// the access list that lets every user open a mutex.
#include "platform/kernel/last_error.h"
#include "platform/kernel/named_mutex.h"
#include "platform/kernel/security.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace quill::kernel {
namespace {

// A name of this test run's own, so that runs side by side never meet.
std::string UniqueName(const char* what) {
    return std::string("Global\\Quill.KernelTest.") + what + "." +
           std::to_string(::GetCurrentProcessId());
}

TEST(Win32NamedMutex, CreatingNeverWaitsOnAnotherHolder) {
    const std::string name = UniqueName("Creator");
    HANDLE held = CreateMutexA(nullptr, 1, name.c_str());
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    std::thread([&] {
        // Ownership asked for at creation is not granted, and not waited for, while another holds
        // it.
        const auto start = std::chrono::steady_clock::now();
        HANDLE second = CreateMutexA(nullptr, 1, name.c_str());
        const auto took = std::chrono::steady_clock::now() - start;
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        EXPECT_LT(took, std::chrono::seconds(5));
        EXPECT_FALSE(ReleaseMutex(second));
        EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
        EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);
        EXPECT_TRUE(CloseHandle(second));
    }).join();
    EXPECT_TRUE(ReleaseMutex(held));
    EXPECT_TRUE(CloseHandle(held));
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, 0, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Win32NamedMutex, AThreadEndingWhileOwningAbandonsIt) {
    HANDLE m = CreateMutexA(nullptr, 0, UniqueName("Abandoned").c_str());
    ASSERT_NE(m, nullptr);
    std::thread([&] { EXPECT_EQ(WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0); }).join();
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_TRUE(CloseHandle(m));
}

// Run only as the child of the test below: takes the mutex, says so, and ends holding it.
TEST(Win32NamedMutex, DISABLED_ChildHoldsTheMutex) {
    const char* parent = std::getenv("QUILL_TEST_PARENT");
    ASSERT_NE(parent, nullptr);
    HANDLE m = CreateMutexA(nullptr, 0,
                            (std::string("Global\\Quill.KernelTest.Process.") + parent).c_str());
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    HANDLE ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE,
                                (std::string("Quill.KernelTest.Ready.") + parent).c_str());
    ASSERT_NE(ready, nullptr);
    ::SetEvent(ready);
    ::ExitProcess(0);
}

TEST(Win32NamedMutex, WhileAnotherProcessHoldsItWaitsTimeOutAndItsEndAbandonsIt) {
    const std::string id = std::to_string(::GetCurrentProcessId());
    const std::string name = "Global\\Quill.KernelTest.Process." + id;
    // Our own handle keeps the object alive after the child ends.
    HANDLE m = CreateMutexA(nullptr, 0, name.c_str());
    ASSERT_NE(m, nullptr);
    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, ("Quill.KernelTest.Ready." + id).c_str());
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(program) +
                           L"\" --gtest_filter=Win32NamedMutex.DISABLED_ChildHoldsTheMutex"
                           L" --gtest_also_run_disabled_tests";
    ::SetEnvironmentVariableA("QUILL_TEST_PARENT", id.c_str());
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(::CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                 nullptr, nullptr, &startup, &child));
    ::SetEnvironmentVariableA("QUILL_TEST_PARENT", nullptr);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0); // free until the child runs
    EXPECT_TRUE(ReleaseMutex(m));
    ::ResumeThread(child.hThread);
    ::WaitForSingleObject(child.hProcess, 60000);
    EXPECT_EQ(::WaitForSingleObject(ready, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(m));
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    ::CloseHandle(ready);
    EXPECT_TRUE(CloseHandle(m));
}

TEST(Win32Security, ANilAccessListOpensAMutexToEveryone) {
    SECURITY_DESCRIPTOR descriptor{};
    EXPECT_FALSE(InitializeSecurityDescriptor(&descriptor, 2));
    EXPECT_EQ(GetLastError(), ERROR_REVISION_MISMATCH);
    EXPECT_FALSE(InitializeSecurityDescriptor(nullptr, 1));
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, 0};
    EXPECT_FALSE(GrantsEveryone(&attributes));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, 1, nullptr, 0));
    EXPECT_TRUE(GrantsEveryone(&attributes));
    EXPECT_FALSE(GrantsEveryone(nullptr));

    HANDLE m = CreateMutexA(&attributes, 0, UniqueName("Everyone").c_str());
    ASSERT_NE(m, nullptr);
    PACL dacl = reinterpret_cast<PACL>(1);
    PSECURITY_DESCRIPTOR read = nullptr;
    ASSERT_EQ(::GetSecurityInfo(m, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                &dacl, nullptr, &read),
              ERROR_SUCCESS);
    EXPECT_EQ(dacl, nullptr) << "the mutex keeps an access list that may shut users out";
    ::LocalFree(read);
    CloseHandle(m);
}

} // namespace
} // namespace quill::kernel
