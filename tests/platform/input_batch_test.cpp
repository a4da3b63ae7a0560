#include "keyboard_test_support.h"

#include "platform/kernel/last_error.h"
#include "platform/kernel/named_mutex.h"
#include "platform/user/timer.h"
#include "platform/user/virtual_keys.h"

#include <atomic>
#include <vector>

namespace quill::user::testing {
namespace {

using InputBatch = KeyboardTest;

constexpr ULONG_PTR kBatch = 0xBA7C4;

// A batch enters the input path whole: keys that another thread types meanwhile come before or
// after it, never inside.
TEST_F(InputBatch, NoKeyOfAnotherThreadLandsInsideABatch) {
    OnFocusedThread([&] {
        std::atomic<bool> stop{false};
        std::thread typist([&] {
            while (!stop) {
                keybd_event('X', 0, 0, 0);
                keybd_event('X', 0, KEYEVENTF_KEYUP, 0);
            }
        });
        std::vector<INPUT> batch;
        for (int i = 0; i < 64; ++i)
            for (DWORD flags : {DWORD{0}, KEYEVENTF_KEYUP})
                batch.push_back(
                    {INPUT_KEYBOARD, {std::uint16_t('A' + i % 26), 0, flags, 0, kBatch}});
        for (int round = 0; round < 20; ++round)
            ASSERT_EQ(SendInput(static_cast<UINT>(batch.size()), batch.data(), sizeof(INPUT)),
                      batch.size());
        stop = true;
        typist.join();
        MSG msg{};
        int run = 0;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.extraInfo == kBatch) {
                ++run;
            } else {
                ASSERT_EQ(run % static_cast<int>(batch.size()), 0) << "a key inside a batch";
            }
        }
        EXPECT_EQ(run, 20 * static_cast<int>(batch.size()));
    });
}

TEST_F(InputBatch, BadBatchesEnterNothing) {
    OnFocusedThread([&] {
        INPUT good{INPUT_KEYBOARD, {'A', 0, 0, 0, 0}};
        INPUT bad[2] = {good, {INPUT_KEYBOARD, {0x100, 0, 0, 0, 0}}};
        EXPECT_EQ(SendInput(2, bad, sizeof(INPUT)), 0u);
        EXPECT_EQ(kernel::GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(SendInput(1, &good, 4), 0u);
        EXPECT_EQ(SendInput(1, nullptr, sizeof(INPUT)), 0u);
        MSG msg{};
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        // Right-hand modifiers keep their side and extended flag.
        INPUT right[2] = {{INPUT_KEYBOARD, {VK_RCONTROL, 0, 0, 0, 0}},
                          {INPUT_KEYBOARD, {VK_RSHIFT, 0, 0, 0, 0}}};
        EXPECT_EQ(SendInput(2, right, sizeof(INPUT)), 2u);
        EXPECT_LT(GetAsyncKeyState(VK_RCONTROL), 0);
        EXPECT_EQ(GetAsyncKeyState(VK_LCONTROL), 0);
        EXPECT_LT(GetAsyncKeyState(VK_RSHIFT), 0);
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.wParam, VK_CONTROL);
        EXPECT_TRUE((msg.lParam >> 24) & 1);
        Release(VK_RCONTROL);
        Release(VK_RSHIFT);
        Drain();
    });
}

// An event loop steps through virtual time: the wait ends at the next timer or at its deadline.
TEST_F(InputBatch, MessageWaitEndsAtTheNextTimerOrTheDeadline) {
    OnFocusedThread([&] {
        const auto start = GetTickCount64();
        EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT),
                  kernel::WAIT_TIMEOUT);
        EXPECT_EQ(GetTickCount64(), start + 50);
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, nullptr);
        EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT),
                  kernel::WAIT_OBJECT_0);
        EXPECT_EQ(GetTickCount64(), start + 80);
        KillTimer(nullptr, timer);
        Press('A');
        EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, kernel::INFINITE, QS_ALLINPUT),
                  kernel::WAIT_OBJECT_0);
        EXPECT_EQ(GetTickCount64(), start + 80);
        Release('A');
        Drain();
        const kernel::HANDLE unknown = reinterpret_cast<kernel::HANDLE>(0x1234);
        EXPECT_EQ(MsgWaitForMultipleObjects(1, &unknown, FALSE, 10, QS_ALLINPUT), WAIT_FAILED);
    });
}

} // namespace
} // namespace quill::user::testing
