#include "platform/user/clock.h"
#include "platform/user/message_queue.h"
#include "platform/user/timer.h"
#include "platform/user/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace quill::user {
namespace {

// Every test runs on a fresh thread, so it starts with an empty queue of its own, on the virtual
// clock.
class MessageQueue : public ::testing::Test {
protected:
    void SetUp() override { FPrevious = SetClock(&Clock); }
    void TearDown() override { SetClock(FPrevious); }
    static void OnFreshThread(const std::function<void()>& body) { std::thread(body).join(); }

    TVirtualClock Clock{1000};

private:
    TClock* FPrevious = nullptr;
};

std::vector<UINT>* gSeen = nullptr;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (gSeen) gSeen->push_back(message);
    if (message == WM_USER + 7) return static_cast<LRESULT>(wParam * 2);
    if (message == WM_USER + 9) throw std::runtime_error("window procedure failed");
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT RefusingProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_CREATE ? -1 : 0; }

void RegisterTestClasses() {
    static const bool done = [] {
        WNDCLASSA recording{0, &RecordingProc, "QuillTestRecording"};
        WNDCLASSA refusing{0, &RefusingProc, "QuillTestRefusing"};
        return RegisterClassA(&recording) != 0 && RegisterClassA(&refusing) != 0;
    }();
    ASSERT_TRUE(done);
}

TEST_F(MessageQueue, PostedMessagesComeInOrderWithTheirFieldsAndFilters) {
    OnFreshThread([&] {
        MSG msg{};
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 11, 12);
        Clock.Advance(5);
        PostThreadMessageA(GetCurrentThreadId(), WM_USER + 2, 21, 22);
        // A filter skips the first without losing it.
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_NOREMOVE));
        EXPECT_EQ(msg.message, WM_USER + 2u);
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, WM_USER + 1u);
        EXPECT_EQ(msg.wParam, 11u);
        EXPECT_EQ(msg.lParam, 12);
        EXPECT_EQ(msg.time, 1000u);
        EXPECT_EQ(GetMessageTime(), 1000);
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        PostQuitMessage(3);
        EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
        EXPECT_EQ(msg.wParam, 3u);
        EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
    });
}

TEST_F(MessageQueue, InputComesAfterPostedAndCarriesItsExtraInformation) {
    OnFreshThread([&] {
        MSG key{};
        key.message = WM_KEYDOWN;
        key.wParam = 0x41;
        key.extraInfo = 0x5EED;
        ASSERT_TRUE(PostInputMessage(GetCurrentThreadId(), key));
        PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
        MSG msg{};
        GetMessageA(&msg, nullptr, 0, 0);
        EXPECT_EQ(msg.message, WM_USER);
        EXPECT_EQ(GetMessageExtraInfo(), 0u);
        GetMessageA(&msg, nullptr, 0, 0);
        EXPECT_EQ(msg.message, WM_KEYDOWN);
        EXPECT_EQ(msg.extraInfo, 0x5EEDu);
        EXPECT_EQ(GetMessageExtraInfo(), 0x5EEDu);
    });
}

TEST_F(MessageQueue, WindowsReceiveTheirMessagesUntilDestroyed) {
    RegisterTestClasses();
    OnFreshThread([&] {
        std::vector<UINT> seen;
        gSeen = &seen;
        HWND hwnd = CreateWindowExA(0, "quilltestrecording", "w", 0, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
        EXPECT_EQ(SendMessageA(hwnd, WM_USER + 7, 21, 0), 42);
        ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 3, 0, 0));
        MSG msg{};
        ASSERT_TRUE(GetMessageA(&msg, hwnd, 0, 0));
        DispatchMessageA(&msg);
        EXPECT_THROW(SendMessageA(hwnd, WM_USER + 9, 0, 0), std::runtime_error);
        // Queued for the window, then the window goes: the message is dropped, not delivered.
        PostMessageA(hwnd, WM_USER + 4, 0, 0);
        EXPECT_TRUE(DestroyWindow(hwnd));
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_FALSE(PostMessageA(hwnd, WM_USER + 5, 0, 0));
        EXPECT_EQ(SendMessageA(hwnd, WM_USER + 7, 1, 0), 0);
        msg.hwnd = hwnd;
        msg.message = WM_USER + 6;
        EXPECT_EQ(DispatchMessageA(&msg), 0);
        EXPECT_FALSE(DestroyWindow(hwnd));
        gSeen = nullptr;
        const std::vector<UINT> expected{WM_CREATE,   WM_USER + 7, WM_USER + 3,
                                         WM_USER + 9, WM_DESTROY,  WM_NCDESTROY};
        EXPECT_EQ(seen, expected);
        EXPECT_EQ(CreateWindowExA(0, "QuillTestRefusing", "", 0, nullptr, nullptr), nullptr);
        EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, nullptr, nullptr), nullptr);
    });
}

TEST_F(MessageQueue, TimersFireOnTheVirtualClockAndStopWhenKilled) {
    RegisterTestClasses();
    OnFreshThread([&] {
        HWND hwnd = CreateWindowExA(0, "QuillTestRecording", "", 0, nullptr, nullptr);
        ASSERT_NE(SetTimer(hwnd, 7, 65, nullptr), 0u);
        MSG msg{};
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        Clock.Advance(64);
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        Clock.Advance(1);
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_TIMER);
        EXPECT_EQ(msg.hwnd, hwnd);
        EXPECT_EQ(msg.wParam, 7u);
        // One WM_TIMER per expiry, however late the retrieval.
        Clock.Advance(1000);
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        // GetMessage jumps to the next expiry instead of waiting.
        const auto before = Clock.NowMs();
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, WM_TIMER);
        EXPECT_EQ(Clock.NowMs(), before + 65);
        EXPECT_TRUE(KillTimer(hwnd, 7));
        EXPECT_FALSE(KillTimer(hwnd, 7));
        Clock.Advance(500);
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        // Intervals below the minimum are raised to it.
        SetTimer(hwnd, 8, 0, nullptr);
        Clock.Advance(USER_TIMER_MINIMUM - 1);
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        // Destroying the window kills its timers.
        DestroyWindow(hwnd);
        Clock.Advance(100);
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    });
}

std::atomic<int> gTimerCalls{0};
void CountingTimerProc(HWND, UINT message, UINT_PTR, DWORD) {
    if (message == WM_TIMER) ++gTimerCalls;
}

TEST_F(MessageQueue, ThreadTimersCallTheirProcedureAndForgedTimersAreIgnored) {
    OnFreshThread([&] {
        gTimerCalls = 0;
        const UINT_PTR a = SetTimer(nullptr, 0, 20, &CountingTimerProc);
        const UINT_PTR b = SetTimer(nullptr, 0, 30, &CountingTimerProc);
        ASSERT_NE(a, 0u);
        EXPECT_NE(a, b);
        MSG msg{};
        GetMessageA(&msg, nullptr, 0, 0);
        EXPECT_EQ(msg.wParam, a);
        DispatchMessageA(&msg);
        EXPECT_EQ(gTimerCalls, 1);
        KillTimer(nullptr, a);
        KillTimer(nullptr, b);
        // A WM_TIMER naming a procedure of no live timer must not be called.
        PostThreadMessageA(GetCurrentThreadId(), WM_TIMER, a,
                           reinterpret_cast<LPARAM>(&CountingTimerProc));
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        DispatchMessageA(&msg);
        EXPECT_EQ(gTimerCalls, 1);
    });
}

struct StageLog {
    std::vector<std::pair<UINT, bool>> Calls;
};

bool DiscardKeyDowns(MSG& msg, bool removing, void* context) {
    static_cast<StageLog*>(context)->Calls.emplace_back(msg.message, removing);
    if (msg.message == WM_USER) msg.wParam = 99;
    return msg.message == WM_KEYDOWN;
}

TEST_F(MessageQueue, RetrievalStagesSeeAndMayDiscardMessages) {
    OnFreshThread([&] {
        StageLog log;
        AddRetrievalStage(&DiscardKeyDowns, &log);
        AddRetrievalStage(&DiscardKeyDowns, &log); // added once only
        MSG key{};
        key.message = WM_KEYDOWN;
        PostInputMessage(GetCurrentThreadId(), key);
        PostThreadMessageA(GetCurrentThreadId(), WM_USER, 1, 0);
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(msg.wParam, 99u);
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_USER);
        // The key-down is discarded even by a retrieval that does not remove.
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
        const std::vector<std::pair<UINT, bool>> expected{
            {WM_USER, false}, {WM_USER, true}, {WM_KEYDOWN, false}};
        EXPECT_EQ(log.Calls, expected);
        RemoveRetrievalStage(&DiscardKeyDowns, &log);
        PostInputMessage(GetCurrentThreadId(), key);
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    });
}

TEST_F(MessageQueue, OtherThreadsPostAndSendSafely) {
    RegisterTestClasses();
    std::atomic<DWORD> ownerId{0};
    std::atomic<HWND> window{nullptr};
    std::atomic<bool> ready{false};
    std::thread owner([&] {
        window = CreateWindowExA(0, "QuillTestRecording", "", 0, nullptr, nullptr);
        ownerId = GetCurrentThreadId();
        ready = true;
        MSG msg{};
        int posted = 0;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_USER + 1) ++posted;
            DispatchMessageA(&msg);
        }
        EXPECT_EQ(posted, 400);
    });
    while (!ready) std::this_thread::yield();
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([&] {
            for (int i = 0; i < 100; ++i) EXPECT_TRUE(PostMessageA(window, WM_USER + 1, 0, 0));
            // Sent from another thread, handled on the owner's thread.
            EXPECT_EQ(SendMessageA(window, WM_USER + 7, 5, 0), 10);
            EXPECT_EQ(SendMessageA(window, WM_USER + 9, 5, 0), 0);
        });
    for (auto& p : posters) p.join();
    PostThreadMessageA(ownerId, WM_QUIT, 0, 0);
    owner.join();
    // The thread has ended: its window and queue are gone and posting is refused, not a crash.
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    EXPECT_FALSE(PostThreadMessageA(ownerId, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(window, WM_USER + 7, 1, 0), 0);
}

} // namespace
} // namespace quill::user
