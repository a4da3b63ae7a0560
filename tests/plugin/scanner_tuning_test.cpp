#include "platform/kernel/codepage.h"
#include "platform/kernel/fault_injection.h"
#include "platform/rtl/exception.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/us_layout.h"
#include "plugin/scanner/tuning.h"
#include "support/keyboard_keys.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>

using namespace quill;
using namespace quill::plugin;

namespace {

class TuningFile {
  public:
    explicit TuningFile(const std::string& content)
        : FName((std::filesystem::temp_directory_path() /
                 ("quill-tuning-" + std::to_string(std::random_device()()) + ".ini"))
                    .generic_string()) {
        std::ofstream(FName) << content;
    }
    ~TuningFile() { std::remove(FName.c_str()); }
    const std::string& Name() const { return FName; }

  private:
    std::string FName;
};

} // namespace

TEST(ScannerTuning, WithoutAFileEveryKeyHasItsDefault) {
    const std::string missing = "/tmp/quill-no-such-tuning-file.ini";
    const std::int32_t expected[] = {5000, 1000, 200, 300, 1, 0, 0, 50, 0, 1000};
    for (std::size_t i = 0; i < TuningKeys.size(); ++i)
        EXPECT_EQ(ReadTuningFrom(TuningKeys[i].Name, missing), expected[i]) << TuningKeys[i].Name;
    const TStartupTuning values = ReadStartupTuningFrom(missing);
    EXPECT_EQ(values.KeyDriblingTime, 200);
    EXPECT_EQ(values.QueueToOrvixMsgInt, 50);
    EXPECT_EQ(values.ReleaseQueueLag, 1000);
    EXPECT_EQ(values.SynchronizerLag, 300);
    EXPECT_EQ(values.DeleteHookedMsg, 1);
    EXPECT_EQ(values.DoNotClearTasks, 0);
    EXPECT_EQ(values.TasksCheckTimer, 0);
}

TEST(ScannerTuning, ReadsTheStartSectionOnly) {
    {
        TuningFile file("[Start]\nKeyDriblingTime=350\nTasksCheckTimer=7\n");
        EXPECT_EQ(ReadTuningFrom("KeyDriblingTime", file.Name()), 350);
        // The key name is matched ignoring case.
        EXPECT_EQ(ReadTuningFrom("keydriblingtime", file.Name()), 350);
        EXPECT_EQ(ReadTuningFrom("SynchronizerLag", file.Name()), 300);
        const TStartupTuning values = ReadStartupTuningFrom(file.Name());
        EXPECT_EQ(values.KeyDriblingTime, 350);
        EXPECT_EQ(values.TasksCheckTimer, 7);
    }
    {
        TuningFile file("[Other]\nKeyDriblingTime=350\n");
        EXPECT_EQ(ReadTuningFrom("KeyDriblingTime", file.Name()), 200);
    }
    {
        TuningFile file("[Start]\nKeyDriblingTime=fast\n");
        EXPECT_EQ(ReadTuningFrom("KeyDriblingTime", file.Name()), 200);
    }
}

// A value is a whole integer or else no value: the default stands in for anything else.
TEST(ScannerTuning, AValueThatIsNoIntegerGivesTheDefault) {
    const std::pair<const char*, std::int32_t> rows[] = {
        {"350", 350},  {" -5 ", -5}, {"0x10", 16},        {"12abc", 200},
        {"fast", 200}, {"", 200},    {"4294967646", 200}, {"1.5", 200},
    };
    for (const auto& [value, expected] : rows) {
        TuningFile file(std::string("[Start]\nKeyDriblingTime=") + value + "\n");
        EXPECT_EQ(ReadTuningFrom("KeyDriblingTime", file.Name()), expected) << value;
        EXPECT_EQ(ReadStartupTuningFrom(file.Name()).KeyDriblingTime, expected) << value;
    }
}

// The start-up reads all its values from one reading of the file, and a file far larger than any
// tuning file is never read: its keys keep their defaults (a FIFO: scanner_tuning_linux_test.cpp).
TEST(ScannerTuning, TheStartupReadsTheFileOnceAndWithinALimit) {
    TuningFile file("[Start]\nKeyDriblingTime=350\nTasksCheckTimer=7\n");
    const auto opensFor = [](const std::function<void()>& read) {
        kernel::ArmFault(kernel::TFaultKind::Open, std::numeric_limits<std::uint64_t>::max(), 0);
        read();
        const std::uint64_t opens = kernel::FaultsCounted(kernel::TFaultKind::Open);
        kernel::DisarmFaults();
        return opens;
    };
    const std::uint64_t oneKey = opensFor([&] { ReadTuningFrom("KeyDriblingTime", file.Name()); });
    TStartupTuning values{};
    const std::uint64_t startup = opensFor([&] { values = ReadStartupTuningFrom(file.Name()); });
    EXPECT_GT(oneKey, 0u);
    EXPECT_LE(startup, oneKey) << "the start-up opens what one key's read opens, once";
    EXPECT_EQ(values.KeyDriblingTime, 350);
    EXPECT_EQ(values.TasksCheckTimer, 7);

    // 300 MB, almost all of it a hole, with a valid section at its start.
    std::filesystem::resize_file(file.Name(), 300ll << 20);
    const auto start = std::chrono::steady_clock::now();
    values = ReadStartupTuningFrom(file.Name());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(values.KeyDriblingTime, 200);
    EXPECT_EQ(ReadTuningFrom("TasksCheckTimer", file.Name()), 0);
}

TEST(ScannerTuning, AnUnknownKeyIsRefusedByName) {
    try {
        ReadTuningFrom("NoSuchKey", "/tmp/quill-no-such-tuning-file.ini");
        FAIL() << "no exception";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(kernel::AnsiToWide(e.Message()), u"Неизвестный параметр запуска [NoSuchKey]");
    }
}

TEST(ScannerTuning, TheFileLiesBesideTheLibrary) {
    EXPECT_EQ(TuningFileNameFor("/opt/quill/Quill.plu"), "/opt/quill/Quill.ini");
    EXPECT_EQ(TuningFileNameFor("/opt/q.d/Quill"), "/opt/q.d/Quill.ini");
    EXPECT_EQ(TuningFileNameFor("Quill.so.1"), "Quill.so.ini");
}

TEST(ScannerTuning, ReleaseModifierKeysLeavesNoModifierDown) {
    const user::BYTE keys[] = {user::VK_LSHIFT, user::VK_LCONTROL, user::VK_LMENU,
                               user::VK_RSHIFT, user::VK_RCONTROL, user::VK_RMENU};
    for (const user::BYTE key : keys)
        test::KeyboardEvent(key);
    for (const user::BYTE key : keys)
        EXPECT_LT(user::GetAsyncKeyState(key), 0) << int(key);
    ReleaseModifierKeys();
    for (const user::BYTE key : keys)
        EXPECT_GE(user::GetAsyncKeyState(key), 0) << int(key);
    EXPECT_GE(user::GetAsyncKeyState(user::VK_SHIFT), 0);
    EXPECT_GE(user::GetAsyncKeyState(user::VK_CONTROL), 0);
    EXPECT_GE(user::GetAsyncKeyState(user::VK_MENU), 0);
}
