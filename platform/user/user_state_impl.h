// Private to the user services: the per-thread queues and the window registry they share.
//
// Lock order: the registry lock (TUserState::Lock) before a queue's lock, never the other way;
// no lock is held while a window procedure, timer procedure or retrieval stage runs.
#pragma once

#include "platform/user/message_queue.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace quill::user {
namespace [[gnu::visibility("hidden")]] detail {

struct TMessageQueue;

// A message sent from another thread, waiting for its result.
struct TSentMessage {
    MSG Msg{};
    LRESULT Result = 0;
    bool Done = false; // guarded by ReplyTo->Lock
    std::shared_ptr<TMessageQueue> ReplyTo;
};

struct TTimer {
    HWND Hwnd;
    UINT_PTR Id;
    UINT Elapse;
    TIMERPROC Proc;
    std::uint64_t Due;
};

struct TStage {
    RetrievalStage Stage;
    void* Context;
};

// The descriptors behind GetQueueWaitDescriptor (queue_wait.h): an epoll set holding an eventfd
// that other threads' messages signal and a timerfd armed no later than the earliest timer. All
// -1 until a loop first asks for the descriptor.
struct TQueueWait {
    int Poll = -1;
    int Event = -1;
    int Timer = -1;
    // The eventfd has been written since the last acknowledgement (one write per wake-up).
    bool Signalled = false;
    // The clock time the timerfd is armed for; UINT64_MAX when disarmed.
    std::uint64_t ArmedDue = UINT64_MAX;
};

struct TMessageQueue {
    explicit TMessageQueue(DWORD threadId) : ThreadId(threadId) {}
    ~TMessageQueue();
    TMessageQueue(const TMessageQueue&) = delete;
    TMessageQueue& operator=(const TMessageQueue&) = delete;
    const DWORD ThreadId;

    std::mutex Lock;
    std::condition_variable Wake;
    // Guarded by Lock:
    bool Alive = true;
    std::deque<MSG> Posted;
    std::deque<MSG> Input;
    std::deque<std::shared_ptr<TSentMessage>> Sent;
    std::vector<TTimer> Timers;
    bool QuitPosted = false;
    int QuitCode = 0;
    TQueueWait Wait;

    // Touched by the owning thread only:
    std::vector<TStage> Stages;
    ULONG_PTR LastExtraInfo = 0;
    DWORD LastTime = 0;
    // The thread's keyboard hooks as last looked up, of a type private to the hook services, and
    // the version of the hook registry then (0: never looked up).
    std::shared_ptr<const void> Hooks;
    std::uint64_t HooksVersion = 0;
};

struct TWindowClass {
    UINT Style;
    WNDPROC Proc;
    std::string Name;
};

struct TWindowRecord {
    DWORD ThreadId;
    std::shared_ptr<TMessageQueue> Queue;
    WNDPROC Proc;
    LONG_PTR UserData = 0;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    bool Destroying = false;
};

struct TUserState {
    std::mutex Lock;
    std::unordered_map<DWORD, std::shared_ptr<TMessageQueue>> Queues;
    std::unordered_map<HWND, TWindowRecord> Windows;
    std::map<std::string, TWindowClass> Classes; // key: upper-case name
    std::uintptr_t NextHandle = 0x10000;
    UINT_PTR NextTimerId = 0x7FFF;
    // Where keyboard input goes by default: the thread that made the process's first queue, and
    // after it has ended, the next thread to make one (0 until then).
    DWORD FirstQueueThread = 0;
};

// The process's registry; never destroyed, so threads ending during exit still find it.
TUserState& State();
// The calling thread's queue, made on first use.
std::shared_ptr<TMessageQueue> CurrentQueue();
// The same queue without a new owner: the calling thread owns it until it ends, so the reference
// stays good for the call. Every message passes here several times, and an owner taken and
// dropped each time costs two atomic operations.
TMessageQueue& ThisQueue();
// The thread of a live window, 0 when `hwnd` is no window.
DWORD ThreadOfWindow(HWND hwnd);
// A live thread's queue, or nil.
std::shared_ptr<TMessageQueue> QueueOfThread(DWORD threadId);
// The queue and procedure of a live window; nil queue when `hwnd` is no window.
std::shared_ptr<TMessageQueue> QueueOfWindow(HWND hwnd, WNDPROC* proc = nullptr);
// Removes queued messages and timers of `hwnd` from `queue`.
void ForgetWindow(TMessageQueue& queue, HWND hwnd);
// MsgWaitForMultipleObjects with wait handles (handle_wait.cpp).
DWORD WaitForMessagesOrHandles(DWORD count, const kernel::HANDLE* handles, DWORD milliseconds);
// Hands the result of a sent message to its waiting sender.
void CompleteSent(TSentMessage& sent, LRESULT result);

// With `queue.Lock` held, after something was placed in `queue`: wakes a loop waiting on the
// queue's descriptor, unless the queue's own thread placed it (that thread is awake and retrieves
// it before it waits again).
void SignalQueueWait(TMessageQueue& queue);
// With `queue.Lock` held, after a timer of `queue` was set to expire at `due`: makes the
// descriptor's timer fire no later than that.
void NoteTimerDue(TMessageQueue& queue, std::uint64_t due);

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::user
