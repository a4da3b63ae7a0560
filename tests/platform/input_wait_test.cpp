// A host's wait over its input devices and its thread's messages at once: a device with records
// wakes it before messages, messages and timers wake it while the device is quiet, and the
// device hands over exactly the bytes that came, then its end.
#include "platform/kernel/last_error.h"
#include "platform/user/input_device.h"
#include "platform/user/message_queue.h"
#include "platform/user/timer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/input.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quill::user::testing {
namespace {

namespace fs = std::filesystem;

constexpr DWORD kQuiet = kernel::WAIT_OBJECT_0 + 1; // the one handle's index + 1: messages

// A named pipe with the device reading it and a writer the test feeds.
class InputWait : public ::testing::Test {
  protected:
    void SetUp() override {
        FFolder = fs::temp_directory_path() /
                  ("quill-input-wait-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(FFolder);
        FPath = (FFolder / "events").string();
        ASSERT_EQ(::mkfifo(FPath.c_str(), 0600), 0);
        std::string error;
        ASSERT_TRUE(FDevice.Open(FPath, false, error)) << error;
        EXPECT_EQ(FDevice.Name(), FPath);
        FWriter = ::open(FPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(FWriter, 0);
    }
    void TearDown() override {
        if (FWriter >= 0) ::close(FWriter);
        fs::remove_all(FFolder);
    }
    void Write(const void* data, std::size_t size) {
        ASSERT_EQ(::write(FWriter, data, size), static_cast<ssize_t>(size));
    }
    DWORD Wait(DWORD milliseconds) {
        const kernel::HANDLE handle = FDevice.WaitHandle();
        return MsgWaitForMultipleObjects(1, &handle, FALSE, milliseconds, QS_ALLINPUT);
    }
    static void DrainQueue() {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    fs::path FFolder;
    std::string FPath;
    TInputDevice FDevice;
    int FWriter = -1;
};

TEST_F(InputWait, RecordsWakeTheWaitBeforeMessagesAndArriveAsTheyCame) {
    std::thread([&] {
        EXPECT_EQ(Wait(0), kernel::WAIT_TIMEOUT) << "a pipe nobody wrote to is quiet";
        input_event event{};
        event.type = EV_KEY;
        event.code = KEY_A;
        event.value = 1;
        const char* bytes = reinterpret_cast<const char*>(&event);
        const std::size_t half = sizeof event / 2;
        Write(bytes, half);
        PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
        EXPECT_EQ(Wait(kernel::INFINITE), kernel::WAIT_OBJECT_0) << "the device comes first";
        std::string records, why;
        EXPECT_EQ(FDevice.Read(records, why), TInputRead::More);
        EXPECT_EQ(records, std::string(bytes, half)) << "half a record is handed over as it came";
        EXPECT_EQ(Wait(kernel::INFINITE), kQuiet) << "then the message still waiting";
        DrainQueue();
        EXPECT_EQ(Wait(0), kernel::WAIT_TIMEOUT);
        Write(bytes + half, sizeof event - half);
        EXPECT_EQ(Wait(kernel::INFINITE), kernel::WAIT_OBJECT_0);
        EXPECT_EQ(FDevice.Read(records, why), TInputRead::More);
        EXPECT_EQ(records, std::string(bytes, sizeof event)) << "appended, the record whole";
    }).join();
}

TEST_F(InputWait, AnotherThreadsMessageAndADueTimerWakeAQuietWait) {
    std::thread([&] {
        MSG made{};
        PeekMessageA(&made, nullptr, 0, 0, PM_NOREMOVE); // a thread without a queue gets no post
        const DWORD self = GetCurrentThreadId();
        std::thread([self] { PostThreadMessageA(self, WM_USER, 0, 0); }).join();
        EXPECT_EQ(Wait(kernel::INFINITE), kQuiet);
        DrainQueue();
        const UINT_PTR timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, nullptr);
        EXPECT_EQ(Wait(kernel::INFINITE), kQuiet) << "the timer's expiry, without a deadline";
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_TIMER);
        KillTimer(nullptr, timer);
        EXPECT_EQ(Wait(0), kernel::WAIT_TIMEOUT);
    }).join();
}

TEST_F(InputWait, TheWritersEndEndsThePipeAndAGoneDevicesHandleIsRefused) {
    std::thread([&] {
        ::close(FWriter);
        FWriter = -1;
        EXPECT_EQ(Wait(kernel::INFINITE), kernel::WAIT_OBJECT_0) << "the end wakes the wait";
        std::string records, why;
        EXPECT_EQ(FDevice.Read(records, why), TInputRead::Ended);
        EXPECT_TRUE(records.empty());

        kernel::HANDLE gone = nullptr;
        {
            TInputDevice other;
            std::string error;
            ASSERT_TRUE(other.Open(FPath, false, error)) << error;
            gone = other.WaitHandle();
        }
        EXPECT_EQ(MsgWaitForMultipleObjects(1, &gone, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
        EXPECT_EQ(kernel::GetLastError(), kernel::ERROR_INVALID_HANDLE);
        EXPECT_EQ(MsgWaitForMultipleObjects(1, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
        EXPECT_EQ(kernel::GetLastError(), kernel::ERROR_INVALID_PARAMETER);
    }).join();
}

TEST_F(InputWait, WhatIsNoInputDeviceIsRefusedWithTheReason) {
    std::string error;
    EXPECT_FALSE(TInputDevice().Open((FFolder / "missing").string(), false, error));
    EXPECT_NE(error.find("no such device"), std::string::npos) << error;
    const fs::path plain = FFolder / "plain";
    std::ofstream(plain) << "text";
    EXPECT_FALSE(TInputDevice().Open(plain.string(), false, error));
    EXPECT_NE(error.find("not an input device"), std::string::npos) << error;
}

} // namespace
} // namespace quill::user::testing
