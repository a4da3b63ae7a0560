// Shared set-up of the keyboard tests: each test body runs on a fresh thread that owns a queue and
// has the keyboard focus, on the virtual clock; focus and clock are restored afterwards.
#pragma once

#include "platform/user/clock.h"
#include "platform/user/keyboard_input.h"
#include "platform/user/message_queue.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace quill::user::testing {

class KeyboardTest : public ::testing::Test {
  protected:
    void SetUp() override { FPrevious = SetClock(&Clock); }
    void TearDown() override {
        SetFocusThread(0);
        SetClock(FPrevious);
    }
    // Runs `body` on a new thread that is the focus thread.
    static void OnFocusedThread(const std::function<void()>& body) {
        std::thread([&] {
            MSG msg{};
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // makes the queue
            SetFocusThread(GetCurrentThreadId());
            body();
        }).join();
    }
    // As a keyboard enters keys: with their scan codes.
    static void Press(BYTE key, ULONG_PTR extra = 0) {
        keybd_event(key, ScanCodeOf(key), 0, extra);
    }
    static void Release(BYTE key, ULONG_PTR extra = 0) {
        keybd_event(key, ScanCodeOf(key), KEYEVENTF_KEYUP, extra);
    }
    static BYTE ScanCodeOf(BYTE key) {
        return static_cast<BYTE>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    }
    // Retrieves every queued message, so the thread's key state catches up.
    static void Drain() {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    TVirtualClock Clock{5000};

  private:
    TClock* FPrevious = nullptr;
};

} // namespace quill::user::testing
