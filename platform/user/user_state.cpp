#include "platform/user/user_state_impl.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace quill::user {

namespace {
// Plain values, so that reading them needs no check for a first use.
thread_local DWORD tThreadId = 0;
thread_local detail::TMessageQueue* tQueue = nullptr;
} // namespace

DWORD GetCurrentThreadId() {
    if (tThreadId == 0) tThreadId = static_cast<DWORD>(syscall(SYS_gettid));
    return tThreadId;
}

namespace [[gnu::visibility("hidden")]] detail {

namespace {

void Complete(TSentMessage& sent, LRESULT result) {
    std::lock_guard guard(sent.ReplyTo->Lock);
    sent.Result = result;
    sent.Done = true;
    sent.ReplyTo->Wake.notify_all();
}

// The end of a thread: its queue stops taking messages, its windows go, and whoever waits for a
// message sent to it gets 0.
void ThreadEnded(const std::shared_ptr<TMessageQueue>& queue) {
    TUserState& state = State();
    {
        std::lock_guard guard(state.Lock);
        if (auto it = state.Queues.find(queue->ThreadId);
            it != state.Queues.end() && it->second == queue)
            state.Queues.erase(it);
        if (state.FirstQueueThread == queue->ThreadId) state.FirstQueueThread = 0;
        for (auto it = state.Windows.begin(); it != state.Windows.end();)
            it = it->second.Queue == queue ? state.Windows.erase(it) : std::next(it);
    }
    std::deque<std::shared_ptr<TSentMessage>> pending;
    {
        std::lock_guard guard(queue->Lock);
        queue->Alive = false;
        queue->Posted.clear();
        queue->Input.clear();
        queue->Timers.clear();
        pending.swap(queue->Sent);
    }
    queue->Hooks.reset(); // the thread's own field: it is this thread that ends
    for (auto& sent : pending)
        Complete(*sent, 0);
}

struct TQueueOwner {
    std::shared_ptr<TMessageQueue> Queue;
    ~TQueueOwner() {
        tQueue = nullptr;
        if (Queue) ThreadEnded(Queue);
    }
};

} // namespace

TUserState& State() {
    static TUserState* state = new TUserState;
    return *state;
}

std::shared_ptr<TMessageQueue> CurrentQueue() {
    thread_local TQueueOwner owner;
    if (!owner.Queue) {
        auto queue = std::make_shared<TMessageQueue>(GetCurrentThreadId());
        TUserState& state = State();
        std::lock_guard guard(state.Lock);
        state.Queues[queue->ThreadId] = queue;
        if (state.FirstQueueThread == 0) state.FirstQueueThread = queue->ThreadId;
        owner.Queue = std::move(queue);
        tQueue = owner.Queue.get();
    }
    return owner.Queue;
}

TMessageQueue& ThisQueue() {
    if (TMessageQueue* queue = tQueue) return *queue;
    return *CurrentQueue();
}

DWORD ThreadOfWindow(HWND hwnd) {
    TUserState& state = State();
    std::lock_guard guard(state.Lock);
    const auto it = state.Windows.find(hwnd);
    return it == state.Windows.end() ? 0 : it->second.ThreadId;
}

std::shared_ptr<TMessageQueue> QueueOfThread(DWORD threadId) {
    TUserState& state = State();
    std::lock_guard guard(state.Lock);
    const auto it = state.Queues.find(threadId);
    return it == state.Queues.end() ? nullptr : it->second;
}

std::shared_ptr<TMessageQueue> QueueOfWindow(HWND hwnd, WNDPROC* proc) {
    TUserState& state = State();
    std::lock_guard guard(state.Lock);
    const auto it = state.Windows.find(hwnd);
    if (it == state.Windows.end()) return nullptr;
    if (proc) *proc = it->second.Proc;
    return it->second.Queue;
}

void ForgetWindow(TMessageQueue& queue, HWND hwnd) {
    std::lock_guard guard(queue.Lock);
    std::erase_if(queue.Posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
    std::erase_if(queue.Input, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
    std::erase_if(queue.Timers, [hwnd](const TTimer& t) { return t.Hwnd == hwnd; });
}

void CompleteSent(TSentMessage& sent, LRESULT result) {
    Complete(sent, result);
}

} // namespace gnu::visibility("hidden")]]detail
} // namespace quill::user
