// The queue's wait descriptor: readable when another thread places a message or a timer is due,
// quiet otherwise, so a foreign event loop neither misses a message nor spins.
#include "keyboard_test_support.h"
#include "platform/user/queue_wait.h"
#include "platform/user/timer.h"

#include <chrono>
#include <poll.h>

namespace quill::user::testing {
namespace {

bool Readable(int fd, int timeoutMs = 0) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) == 1 && (p.revents & POLLIN);
}

void DrainQueue() {
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

using QueueWait = KeyboardTest;

TEST_F(QueueWait, OtherThreadsMessagesAndKeysWakeTheLoopOncePerAcknowledgement) {
    OnFocusedThread([] {
        const int fd = GetQueueWaitDescriptor();
        ASSERT_GE(fd, 0);
        EXPECT_EQ(GetQueueWaitDescriptor(), fd) << "one descriptor per queue";
        EXPECT_FALSE(Readable(fd));
        const DWORD self = GetCurrentThreadId();
        std::thread([self] {
            PostThreadMessageA(self, WM_USER + 1, 0, 0);
            PostThreadMessageA(self, WM_USER + 2, 0, 0);
            keybd_event('A', 0, 0, 0); // the input path, from a device thread
        }).join();
        EXPECT_TRUE(Readable(fd));
        AcknowledgeQueueWait();
        EXPECT_FALSE(Readable(fd)) << "acknowledged, though the messages are still there";
        MSG msg{};
        int got = 0;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ++got;
        EXPECT_EQ(got, 3);
        std::thread([self] { PostThreadMessageA(self, WM_USER + 3, 0, 0); }).join();
        EXPECT_TRUE(Readable(fd)) << "a message after the acknowledgement signals again";
        AcknowledgeQueueWait();
        DrainQueue();
    });
}

TEST_F(QueueWait, TheThreadsOwnMessagesDoNotWakeIt) {
    OnFocusedThread([] {
        const int fd = GetQueueWaitDescriptor();
        PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
        keybd_event('B', 0, 0, 0);
        EXPECT_FALSE(Readable(fd));
        DrainQueue();
    });
}

TEST_F(QueueWait, MessagesWaitingBeforeTheDescriptorWasMadeWakeTheFirstWait) {
    std::thread([] {
        MSG msg{};
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        const DWORD self = GetCurrentThreadId();
        std::thread([self] { PostThreadMessageA(self, WM_USER, 0, 0); }).join();
        EXPECT_TRUE(Readable(GetQueueWaitDescriptor()));
    }).join();
}

TEST_F(QueueWait, NextTimerDueFollowsTheClockAndTheTimers) {
    OnFocusedThread([this] {
        EXPECT_EQ(GetNextTimerDue(), UINT64_MAX);
        const UINT_PTR slow = SetTimer(nullptr, 0, 500, nullptr);
        const UINT_PTR fast = SetTimer(nullptr, 0, 40, nullptr);
        EXPECT_EQ(GetNextTimerDue(), Clock.NowMs() + 40);
        KillTimer(nullptr, fast);
        EXPECT_EQ(GetNextTimerDue(), Clock.NowMs() + 500);
        KillTimer(nullptr, slow);
        EXPECT_EQ(GetNextTimerDue(), UINT64_MAX);
    });
}

// The one test on the real clock: the descriptor's timer is the kernel's, and what matters is
// that a due timer wakes the loop, neither early nor never.
TEST(QueueWaitRealClock, ADueTimerMakesTheDescriptorReadableNotBefore) {
    std::thread([] {
        const int fd = GetQueueWaitDescriptor();
        ASSERT_GE(fd, 0);
        const auto start = std::chrono::steady_clock::now();
        const UINT_PTR id = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, nullptr);
        // A timer set later than the armed one does not re-arm; one set earlier does.
        const UINT_PTR later = SetTimer(nullptr, 0, 10000, nullptr);
        ASSERT_TRUE(Readable(fd, 5000));
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, std::chrono::milliseconds(USER_TIMER_MINIMUM - 1));
        AcknowledgeQueueWait();
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_TIMER);
        EXPECT_EQ(msg.wParam, id);
        KillTimer(nullptr, id);
        AcknowledgeQueueWait();
        EXPECT_FALSE(Readable(fd, 30)) << "only the ten-second timer is left";
        KillTimer(nullptr, later);
    }).join();
}

} // namespace
} // namespace quill::user::testing
