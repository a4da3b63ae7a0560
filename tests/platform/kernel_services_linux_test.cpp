// The kernel services as the Linux stand-ins give them: named mutexes over lock files, the
// session from getsid, and the user's language from the environment.
#include "platform/kernel/last_error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/named_mutex.h"
#include "platform/kernel/security.h"
#include "platform/kernel/system_info.h"
#include "support/language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quill::kernel {
namespace {

namespace fs = std::filesystem;

class NamedMutex : public ::testing::Test {
  protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() /
                  ("quill-mutex-test-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(FFolder);
        setenv("QUILL_RUNTIME_DIR", FFolder.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("QUILL_RUNTIME_DIR");
        fs::remove_all(FFolder);
    }
    fs::path FFolder;
};

TEST_F(NamedMutex, OneNameOneObjectOwnedByThreads) {
    HANDLE a = CreateMutexA(nullptr, 1, "Global\\Addin.Quill");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(fs::status(FFolder).permissions() & fs::perms::sticky_bit, fs::perms::sticky_bit);
    HANDLE b = CreateMutexA(nullptr, 1, "Global\\Addin.Quill");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    HANDLE c = OpenMutexA(MUTEX_ALL_ACCESS, 0, "Global\\Addin.Quill");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, 0, "Global\\Nobody"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // The creator owns it (once: the second Create found it existing); it may enter again.
    EXPECT_EQ(WaitForSingleObject(c, 0), WAIT_OBJECT_0);
    std::thread([&] {
        EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT);
        EXPECT_FALSE(ReleaseMutex(a));
        EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    }).join();
    EXPECT_TRUE(ReleaseMutex(a));
    EXPECT_TRUE(ReleaseMutex(b));
    EXPECT_FALSE(ReleaseMutex(b));
    std::thread([&] {
        EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
        EXPECT_TRUE(ReleaseMutex(c));
    }).join();
    for (HANDLE h : {a, b, c})
        EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(a));
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_FAILED);
}

TEST_F(NamedMutex, ThreadEndingWhileOwningAbandonsIt) {
    HANDLE m = CreateMutexA(nullptr, 0, "_com.pellam.baselog.mutex");
    std::thread([&] { EXPECT_EQ(WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0); }).join();
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    ReleaseMutex(m);
    CloseHandle(m);
}

TEST_F(NamedMutex, OtherProcessesSeeTheSameLockAndItsEnd) {
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HANDLE m = CreateMutexA(nullptr, 1, "Global\\Межпроцессный");
        const char ok = m ? '1' : '0';
        (void)!write(toParent[1], &ok, 1);
        char go;
        (void)!read(toChild[0], &go, 1);
        _exit(0); // dies holding it
    }
    char ok = 0;
    ASSERT_EQ(read(toParent[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    HANDLE m = OpenMutexA(MUTEX_ALL_ACCESS, 0, "Global\\Межпроцессный");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(m, 20), WAIT_TIMEOUT);
    (void)!write(toChild[1], "g", 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    ReleaseMutex(m);
    CloseHandle(m);
    // With every handle closed and the other process gone, the name no longer exists, although
    // its lock file remains.
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, 0, "Global\\Межпроцессный"), nullptr);
    HANDLE again = CreateMutexA(nullptr, 0, "Global\\Межпроцессный");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseHandle(again);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        close(fd);
}

TEST_F(NamedMutex, LinksAreNotFollowedAndEveryoneMeansEveryone) {
    fs::create_directories(FFolder);
    const fs::path target = FFolder.string() + "-target";
    fs::create_symlink(target, FFolder / "mutex-Planted");
    EXPECT_EQ(CreateMutexA(nullptr, 0, "Planted"), nullptr);
    EXPECT_FALSE(fs::exists(target));

    SECURITY_DESCRIPTOR descriptor{};
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, 1, nullptr, 0));
    SECURITY_ATTRIBUTES everyone{sizeof(SECURITY_ATTRIBUTES), &descriptor, 0};
    HANDLE open = CreateMutexA(&everyone, 0, "Open");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(fs::status(FFolder / "mutex-Open").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
    CloseHandle(open);
    EXPECT_EQ(CreateMutexA(nullptr, 0, std::string(300, 'x').c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

TEST(UserLanguage, EverySettingGivesItsIdentifier) {
    for (const TLanguageCode& entry : kKnownLanguages) {
        const std::string setting = std::string(entry.Code) + ".UTF-8";
        test::ScopedLanguage language(setting.c_str());
        EXPECT_EQ(GetUserDefaultLangID(), entry.Id) << setting;
    }
    // A region without an identifier of its own is its language; a region's own beats its language.
    const std::pair<const char*, LANGID> cases[] = {
        {"ru_RU.UTF-8", 0x0419}, {"ru_UA", 0x0419}, {"ru_MD.UTF-8@euro", 0x0819},
        {"ru_MD", 0x0819},       {"en_GB", 0x0809}, {"en_US.UTF-8", 0x0409},
        {"uk_UA.UTF-8", 0x0422}, {"C", 0x0409},     {"POSIX", 0x0409},
        {"C.UTF-8", 0x0409},     {"xx_YY", 0x0409}, {"rus", 0x0409},
        {"r", 0x0409},           {"_MD", 0x0409},   {nullptr, 0x0409}};
    for (const auto& [setting, id] : cases) {
        test::ScopedLanguage language(setting);
        EXPECT_EQ(GetUserDefaultLangID(), id) << (setting ? setting : "(unset)");
    }
    // The first non-empty of LC_ALL, LC_MESSAGES and LANG decides.
    test::ScopedLanguage language("de_DE.UTF-8");
    setenv("LC_MESSAGES", "", 1);
    EXPECT_EQ(GetUserDefaultLangID(), 0x0407);
    setenv("LC_MESSAGES", "ru_RU.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultLangID(), 0x0419);
    setenv("LC_ALL", "pl_PL.UTF-8", 1);
    EXPECT_EQ(GetUserDefaultLangID(), 0x0415);
}

TEST(SystemInfo, TheSessionIsTheLoginSession) {
    std::uint32_t session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    EXPECT_EQ(session, static_cast<std::uint32_t>(getsid(0)));
}

} // namespace
} // namespace quill::kernel
