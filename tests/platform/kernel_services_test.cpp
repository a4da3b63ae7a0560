// The kernel services whose behaviour is the same on every system: security descriptor records,
// critical sections, profile reads, libraries loaded by path, and the system facts every system
// answers.
#include "platform/kernel/critical_section.h"
#include "platform/kernel/last_error.h"
#include "platform/kernel/module.h"
#include "platform/kernel/profile.h"
#include "platform/kernel/security.h"
#include "platform/kernel/system_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <thread>

namespace quill::kernel {
namespace {

namespace fs = std::filesystem;

TEST(Security, DescriptorRecords) {
    SECURITY_DESCRIPTOR descriptor{};
    EXPECT_FALSE(InitializeSecurityDescriptor(&descriptor, 2));
    EXPECT_EQ(GetLastError(), ERROR_REVISION_MISMATCH);
    EXPECT_FALSE(InitializeSecurityDescriptor(nullptr, 1));
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, 1));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, 0};
    EXPECT_FALSE(GrantsEveryone(&attributes));
    SetSecurityDescriptorDacl(&descriptor, 1, nullptr, 0);
    EXPECT_TRUE(GrantsEveryone(&attributes));
    EXPECT_FALSE(GrantsEveryone(nullptr));
    EXPECT_FALSE(SysErrorMessage(ERROR_REVISION_MISMATCH).empty());
}

TEST(CriticalSection, RecursiveAndRefusesUninitialisedUse) {
    CRITICAL_SECTION section;
    EXPECT_THROW(EnterCriticalSection(&section), std::logic_error);
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    std::thread([&] { EXPECT_FALSE(TryEnterCriticalSection(&section)); }).join();
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    std::thread([&] {
        EXPECT_TRUE(TryEnterCriticalSection(&section));
        LeaveCriticalSection(&section);
    }).join();
    DeleteCriticalSection(&section);
    EXPECT_THROW(EnterCriticalSection(&section), std::logic_error);
}

TEST(Profile, IntegerReadsFollowThePlatform) {
    const fs::path file = fs::temp_directory_path() /
                          ("quill-profile-" + std::to_string(std::random_device()()) + ".ini");
    std::ofstream(file) << "; tuning\r\n[Other]\r\nHookTimeOut=1\r\n[ start ]\r\n"
                           "  HookTimeOut = 120 \r\nNegative=-5\r\nHex=0x1F\r\nTrailing=42ms\r\n"
                           "Word=fast\r\nEmpty=\r\nQuoted=\"a b\"\r\nhooktimeout=999\r\n[Start]\r\n"
                           "Late=7\r\n";
    const std::string name = file.string();
    EXPECT_EQ(GetPrivateProfileIntA("Start", "hooktimeout", 65, name), 120);
    EXPECT_EQ(GetPrivateProfileIntA("Start", "Negative", 0, name), -5);
    EXPECT_EQ(GetPrivateProfileIntA("Start", "Hex", 0, name), 31);
    EXPECT_EQ(GetPrivateProfileIntA("Start", "Trailing", 0, name), 42);
    EXPECT_EQ(GetPrivateProfileIntA("Start", "Word", 65, name), 65);
    EXPECT_EQ(GetPrivateProfileIntA("Start", "Empty", 65, name), 65);
    EXPECT_EQ(GetPrivateProfileIntA("Start", "Missing", 65, name), 65);
    // Only the first section of a name is read.
    EXPECT_EQ(GetPrivateProfileIntA("Start", "Late", 3, name), 3);
    EXPECT_EQ(GetPrivateProfileIntA("Start", "HookTimeOut", 65, name + ".none"), 65);
    EXPECT_EQ(GetPrivateProfileStringA("Start", "Quoted", "", name), "a b");
    EXPECT_EQ(GetPrivateProfileStringA("Nowhere", "Quoted", "dflt", name), "dflt");
    fs::remove(file);
}

TEST(SystemInfo, NameSessionAndPlatform) {
    std::string name;
    ASSERT_TRUE(GetComputerNameA(&name));
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find('.'), std::string::npos);
    std::uint32_t session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    EXPECT_FALSE(ProcessIdToSessionId(0x7FFFFFF0u, &session));
    OSVERSIONINFOA info{};
    EXPECT_FALSE(GetVersionExA(&info));
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_GE(info.dwMajorVersion, 3u);
}

// A host loads the plug-in by path and finds its exports; a wrong path is refused with a reason,
// not a crash, and a library is not kept loaded by a failed lookup.
TEST(OpenLibrary, FindsExportsAndRefusesWhatIsNotThere) {
    std::string why;
    void* plugin = OpenLibrary(QUILL_PLU_PATH, why);
    ASSERT_NE(plugin, nullptr) << why;
    EXPECT_NE(LibraryExport(plugin, "Query"), nullptr);
    EXPECT_NE(LibraryExport(plugin, "BeforeFreeLibrary"), nullptr);
    EXPECT_EQ(LibraryExport(plugin, "NoSuchExport"), nullptr);
    CloseLibrary(plugin);

    const std::string missing = (fs::temp_directory_path() / "quill-no-such-module.plu").string();
    why.clear();
    EXPECT_EQ(OpenLibrary(missing, why), nullptr);
    EXPECT_FALSE(why.empty());
    // A file that is no library at all.
    const std::string text = (fs::temp_directory_path() / "quill-not-a-module.plu").string();
    std::ofstream(text) << "not a library";
    why.clear();
    EXPECT_EQ(OpenLibrary(text, why), nullptr);
    EXPECT_FALSE(why.empty());
    fs::remove(text);
    EXPECT_EQ(LibraryExport(nullptr, "Query"), nullptr);
    CloseLibrary(nullptr);
}

} // namespace
} // namespace quill::kernel
