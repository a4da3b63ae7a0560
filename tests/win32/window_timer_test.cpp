// Windows, messages and timers over the system's services, under Wine.
#include "platform/kernel/last_error.h"
#include "platform/user/clock.h"
#include "platform/user/message_queue.h"
#include "platform/user/timer.h"
#include "platform/user/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace quill::user::testing {
namespace {

constexpr const char* kClass = "QuillWin32WindowTest";

struct TSeen {
    UINT Message;
    WPARAM WParam;
    LPARAM LParam;
};
std::vector<TSeen> gSeen;
void* gCreateParam = nullptr;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE)
        gCreateParam = reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams;
    if (message == WM_CREATE || message == WM_DESTROY || message == WM_TIMER ||
        message >= WM_USER) {
        gSeen.push_back({message, wParam, lParam});
        return message == WM_USER + 1 ? 42 : 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int gTimerProcCalls = 0;
void CALLBACK CountingTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    ++gTimerProcCalls;
}

class Win32Window : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const WNDCLASSA windowClass{0, &RecordingProc, kClass};
        ASSERT_NE(RegisterClassA(&windowClass), 0);
    }
    static void TearDownTestSuite() { UnregisterClassA(kClass); }
    void SetUp() override { gSeen.clear(); }
    int CountOf(UINT message) const {
        int n = 0;
        for (const TSeen& s : gSeen)
            n += s.Message == message;
        return n;
    }
    // Pumps until `message` has been seen `count` times, or two seconds have passed.
    bool PumpUntil(UINT message, int count) {
        const std::uint64_t deadline = GetTickCount64() + 2000;
        while (CountOf(message) < count && GetTickCount64() < deadline) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            MSG msg{};
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
        return CountOf(message) >= count;
    }
};

TEST_F(Win32Window, AWindowOfAClassGetsItsCreationMessagesAndItsPostedAndSentOnes) {
    const WNDCLASSA again{0, &RecordingProc, "quillwin32windowtest"};
    kernel::SetLastError(0);
    EXPECT_EQ(RegisterClassA(&again), 0) << "class names compare ignoring case";
    EXPECT_EQ(kernel::GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

    int param = 0;
    const HWND hwnd = CreateWindowExA(0, kClass, "", 0, nullptr, &param);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(gCreateParam, &param);
    EXPECT_EQ(CountOf(WM_CREATE), 1);
    EXPECT_TRUE(IsWindow(hwnd));
    DWORD process = 0;
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, &process), GetCurrentThreadId());
    EXPECT_NE(process, 0u);

    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 1234);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 1, 7, 8), 42);

    ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 2, 9, 10));
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, hwnd, WM_USER + 2, WM_USER + 2), TRUE);
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.wParam, 9u);
    EXPECT_EQ(msg.lParam, 10);
    DispatchMessageA(&msg);
    EXPECT_EQ(CountOf(WM_USER + 2), 1);

    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(CountOf(WM_DESTROY), 1);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), 0u);
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Win32Window, ANewThreadReceivesWhatItPostsItselfBeforeItRetrievesAnything) {
    std::thread([] {
        ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 3, 1, 2));
        PostQuitMessage(5);
        MSG msg{};
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
        EXPECT_EQ(msg.message, WM_USER + 3);
        EXPECT_EQ(msg.hwnd, nullptr);
        EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
        EXPECT_EQ(msg.wParam, 5u);
    }).join();
}

TEST_F(Win32Window, AWindowTimerFiresOnItsThreadUntilItIsKilled) {
    const HWND hwnd = CreateWindowExA(0, kClass, "", 0, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(SetTimer(hwnd, 77, 10, nullptr), 77u);
    ASSERT_TRUE(PumpUntil(WM_TIMER, 2));
    EXPECT_EQ(gSeen.back().WParam, 77u);
    EXPECT_TRUE(KillTimer(hwnd, 77));
    EXPECT_FALSE(KillTimer(hwnd, 77));
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE))
        << "no expiry outlives its timer";
    DestroyWindow(hwnd);
}

TEST_F(Win32Window, AThreadTimerCallsItsProcedureThroughDispatch) {
    gTimerProcCalls = 0;
    const UINT_PTR id = SetTimer(nullptr, 0, 10, &CountingTimerProc);
    ASSERT_NE(id, 0u);
    const std::uint64_t deadline = GetTickCount64() + 2000;
    while (gTimerProcCalls == 0 && GetTickCount64() < deadline) {
        MSG msg{};
        if (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    }
    EXPECT_GE(gTimerProcCalls, 1);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

int gForeign = 0;
LRESULT CALLBACK ContractOnlyProc(HWND, UINT message, WPARAM, LPARAM) {
    // Answers 0 to everything it does not know, as a procedure written to the contract may.
    if (message == WM_USER + 5) throw std::runtime_error("handler failed");
    if (message != WM_CREATE && message != WM_DESTROY && message != WM_NCDESTROY &&
        message < WM_USER)
        ++gForeign;
    return 0;
}

TEST(Win32WindowEntry, AProcedureSeesTheContractsMessagesAndItsFailuresReachTheCaller) {
    const WNDCLASSA windowClass{0, &ContractOnlyProc, "QuillWin32EntryTest"};
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    gForeign = 0;
    const HWND hwnd = CreateWindowExA(0, "QuillWin32EntryTest", "", 0, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr) << "the system's window management is not the procedure's to answer";
    EXPECT_EQ(gForeign, 0);

    ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 5, 0, 0));
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, hwnd, 0, 0), TRUE);
    EXPECT_THROW(DispatchMessageA(&msg), std::runtime_error);
    EXPECT_THROW(SendMessageA(hwnd, WM_USER + 5, 0, 0), std::runtime_error);

    // From another thread the sender gets 0, and the retrieval that ran the procedure goes on.
    std::atomic<bool> done{false};
    LRESULT result = -1;
    std::thread sender([&] {
        result = SendMessageA(hwnd, WM_USER + 5, 0, 0);
        done = true;
    });
    while (!done) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        EXPECT_NO_THROW(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    }
    sender.join();
    EXPECT_EQ(result, 0);

    // A window's own procedure replaces the class's for that window.
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ContractOnlyProc));
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)),
              reinterpret_cast<LONG_PTR>(&ContractOnlyProc));
    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 1, 0, 0), 42);
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_TRUE(UnregisterClassA("QuillWin32EntryTest"));
}

void CALLBACK ThrowingTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    throw std::runtime_error("timer handler failed");
}

TEST_F(Win32Window, ATimerProceduresFailureReachesTheDispatcher) {
    const UINT_PTR id = SetTimer(nullptr, 0, 10, &ThrowingTimerProc);
    ASSERT_NE(id, 0u);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, WM_TIMER, WM_TIMER), TRUE);
    EXPECT_THROW(DispatchMessageA(&msg), std::runtime_error);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST(Win32Clock, TicksAreTheSystemsAndAnInstalledClockGivesOnlyTheTimeOfDay) {
    const DWORD before = GetTickCount();
    TVirtualClock clock(5);
    clock.SetSystemTime(86'400'000); // 1970-01-02
    TClock* const previous = SetClock(&clock);
    EXPECT_EQ(GetClock().SystemTimeMs(), 86'400'000);
    // The system's timers and message times run on its own ticks: so do ours.
    EXPECT_GE(GetTickCount(), before);
    EXPECT_LT(GetTickCount() - before, 60'000u);
    SetClock(previous);
    const std::int64_t now = GetClock().SystemTimeMs();
    EXPECT_GT(now, 1'600'000'000'000) << "the system's time of day, in Unix milliseconds";
    EXPECT_LE(GetClock().NowMs(), GetTickCount64());
}

} // namespace
} // namespace quill::user::testing
