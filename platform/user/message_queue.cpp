#include "platform/user/message_queue.h"

#include "platform/kernel/last_error.h"
#include "platform/kernel/named_mutex.h"
#include "platform/user/clock.h"
#include "platform/user/user_state_impl.h"

#include <algorithm>
#include <atomic>
#include <limits>

namespace quill::user {

using namespace detail;

namespace {

const HWND ThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
constexpr std::uint64_t NoDeadline = std::numeric_limits<std::uint64_t>::max();

std::atomic<KeyTranslator> gKeyTranslator{nullptr};
std::atomic<RetrievalStage> gInputStage{nullptr};

MSG MakeMsg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    return msg;
}

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
    if (filterMin == 0 && filterMax == 0) return true;
    return message >= filterMin && message <= filterMax;
}

bool WindowMatches(HWND target, HWND filter) {
    if (!filter) return true;
    if (filter == ThreadMessagesOnly) return target == nullptr;
    return target == filter;
}

BOOL Enqueue(TMessageQueue& queue, const MSG& msg, bool input) {
    std::lock_guard guard(queue.Lock);
    if (!queue.Alive) {
        kernel::SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    (input ? queue.Input : queue.Posted).push_back(msg);
    // Only a queue's own thread waits on it: when that thread places the message, it is awake.
    if (queue.ThreadId != GetCurrentThreadId()) queue.Wake.notify_all();
    SignalQueueWait(queue);
    return TRUE;
}

// Places a message in the queue of thread `threadId`: the caller's own without taking an owner.
BOOL EnqueueForThread(DWORD threadId, const MSG& msg, bool input) {
    if (threadId == GetCurrentThreadId()) return Enqueue(ThisQueue(), msg, input);
    const auto queue = QueueOfThread(threadId);
    if (!queue) {
        kernel::SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return Enqueue(*queue, msg, input);
}

// Runs a message sent from another thread, on this (the receiving) thread.
void HandleSent(const std::shared_ptr<TSentMessage>& sent) {
    WNDPROC proc = nullptr;
    LRESULT result = 0;
    if (QueueOfWindow(sent->Msg.hwnd, &proc) && proc) {
        try {
            result = proc(sent->Msg.hwnd, sent->Msg.message, sent->Msg.wParam, sent->Msg.lParam);
        } catch (...) {
            // The sender is on another thread: there is nobody here to take the failure.
            result = 0;
        }
    }
    CompleteSent(*sent, result);
}

// Handles every message sent to this thread; returns with `lock` held. Inline, as nearly always
// there is none.
inline void HandleAllSent(TMessageQueue& queue, std::unique_lock<std::mutex>& lock) {
    while (!queue.Sent.empty())
        [[unlikely]] {
            auto sent = std::move(queue.Sent.front());
            queue.Sent.pop_front();
            lock.unlock();
            HandleSent(sent);
            lock.lock();
        }
}

// Takes the first message of `list` that passes the filter; its position goes to `index`.
bool TakeFrom(std::deque<MSG>& list, HWND hwnd, UINT filterMin, UINT filterMax, MSG& msg,
              std::size_t& index) {
    index = 0;
    for (auto it = list.begin(); it != list.end(); ++it, ++index) {
        if (WindowMatches(it->hwnd, hwnd) && InRange(it->message, filterMin, filterMax)) {
            msg = *it;
            if (index == 0)
                list.pop_front(); // nearly always: the first message is taken
            else
                list.erase(it);
            return true;
        }
    }
    return false;
}

// The earliest timer of the filter: due now (`due` true) or the time of the next expiry.
TTimer* EarliestTimer(TMessageQueue& queue, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!InRange(WM_TIMER, filterMin, filterMax)) return nullptr;
    TTimer* best = nullptr;
    for (TTimer& timer : queue.Timers)
        if (WindowMatches(timer.Hwnd, hwnd) && (!best || timer.Due < best->Due)) best = &timer;
    return best;
}

// Returns true with a message, false when there is none (and `wait` is false).
bool Retrieve(MSG* out, HWND hwnd, UINT filterMin, UINT filterMax, bool remove, bool wait) {
    TMessageQueue* const queue = &ThisQueue();
    std::unique_lock lock(queue->Lock);
    for (;;) {
        HandleAllSent(*queue, lock);

        MSG msg{};
        std::size_t index = 0;
        std::deque<MSG>* source = nullptr;
        // The lists are mostly empty: asked first, inline.
        if (!queue->Posted.empty() &&
            TakeFrom(queue->Posted, hwnd, filterMin, filterMax, msg, index)) {
            source = &queue->Posted;
        } else if (!queue->Input.empty() &&
                   TakeFrom(queue->Input, hwnd, filterMin, filterMax, msg, index)) {
            source = &queue->Input;
        } else if (queue->QuitPosted && InRange(WM_QUIT, filterMin, filterMax)) {
            msg = MakeMsg(nullptr, WM_QUIT, static_cast<WPARAM>(queue->QuitCode), 0);
            if (remove) queue->QuitPosted = false;
            *out = msg;
            return true;
        } else {
            TTimer* timer = EarliestTimer(*queue, hwnd, filterMin, filterMax);
            const std::uint64_t now = timer ? GetClock().NowMs() : 0;
            if (!timer || timer->Due > now) {
                if (!wait) return false;
                GetClock().WaitUntil(queue->Wake, lock, timer ? timer->Due : NoDeadline);
                continue;
            }
            msg = MakeMsg(timer->Hwnd, WM_TIMER, timer->Id, reinterpret_cast<LPARAM>(timer->Proc));
            if (remove) {
                timer->Due = now + timer->Elapse;
                NoteTimerDue(*queue, timer->Due);
            }
        }

        // The stages run unlocked, with the message out of the queue; it goes back to its place
        // if it stays and the retrieval does not remove it. Only this thread takes messages out,
        // so the place is still right.
        lock.unlock();
        const std::vector<TStage> stages = queue->Stages;
        bool discarded = false;
        if (source == &queue->Input)
            if (const RetrievalStage input = gInputStage.load())
                discarded = input(msg, remove, nullptr);
        for (const TStage& stage : stages) {
            if (discarded) break;
            if (stage.Stage(msg, remove, stage.Context)) {
                discarded = true;
                break;
            }
        }
        if (!discarded && remove) {
            // Taken for good: what is left to do touches only this thread's own fields.
            queue->LastExtraInfo = msg.extraInfo;
            queue->LastTime = msg.time;
            *out = msg;
            return true;
        }
        lock.lock();
        if (discarded) {
            // A discarded expiry counts as taken, or a stage that discards it would see it again
            // at once, forever.
            if (!source && !remove) {
                for (TTimer& timer : queue->Timers)
                    if (timer.Hwnd == msg.hwnd && timer.Id == msg.wParam) {
                        timer.Due = GetClock().NowMs() + timer.Elapse;
                        NoteTimerDue(*queue, timer.Due);
                    }
            }
            continue;
        }
        if (!remove && source)
            source->insert(source->begin() +
                               static_cast<std::ptrdiff_t>(std::min(index, source->size())),
                           msg);
        queue->LastExtraInfo = msg.extraInfo;
        queue->LastTime = msg.time;
        *out = msg;
        return true;
    }
}

} // namespace

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
    const auto queue = QueueOfWindow(hwnd);
    if (!queue) {
        kernel::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return Enqueue(*queue, MakeMsg(hwnd, message, wParam, lParam), false);
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    // The calling thread always has a queue for itself, as on the platform once it asks.
    return EnqueueForThread(threadId, MakeMsg(nullptr, message, wParam, lParam), false);
}

BOOL PostInputMessage(DWORD threadId, const MSG& msg) {
    MSG copy = msg;
    if (copy.time == 0) copy.time = GetTickCount();
    return EnqueueForThread(threadId, copy, true);
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    const auto target = QueueOfWindow(hwnd, &proc);
    if (!target) {
        kernel::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (target->ThreadId == GetCurrentThreadId())
        return proc ? proc(hwnd, message, wParam, lParam) : 0;

    const auto self = CurrentQueue();
    auto sent = std::make_shared<TSentMessage>();
    sent->Msg = MakeMsg(hwnd, message, wParam, lParam);
    sent->ReplyTo = self;
    {
        std::lock_guard guard(target->Lock);
        if (!target->Alive) return 0;
        target->Sent.push_back(sent);
        target->Wake.notify_all();
        SignalQueueWait(*target);
    }
    std::unique_lock lock(self->Lock);
    while (!sent->Done) {
        if (!self->Sent.empty()) {
            HandleAllSent(*self, lock);
            continue;
        }
        self->Wake.wait(lock);
    }
    return sent->Result;
}

void PostQuitMessage(int exitCode) {
    TMessageQueue& queue = ThisQueue();
    std::lock_guard guard(queue.Lock);
    queue.QuitPosted = true;
    queue.QuitCode = exitCode;
    queue.Wake.notify_all();
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) {
        kernel::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return Retrieve(msg, hwnd, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0, false) ? TRUE
                                                                                          : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg || (hwnd && hwnd != ThreadMessagesOnly && !QueueOfWindow(hwnd))) {
        kernel::SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return -1;
    }
    Retrieve(msg, hwnd, filterMin, filterMax, true, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

DWORD MsgWaitForMultipleObjects(DWORD count, const kernel::HANDLE* handles, BOOL,
                                DWORD milliseconds, DWORD) {
    if (count != 0 || handles) return WaitForMessagesOrHandles(count, handles, milliseconds);
    TMessageQueue* const queue = &ThisQueue();
    std::unique_lock lock(queue->Lock);
    const std::uint64_t deadline =
        milliseconds == kernel::INFINITE ? NoDeadline : GetClock().NowMs() + milliseconds;
    for (;;) {
        HandleAllSent(*queue, lock);
        if (!queue->Posted.empty() || !queue->Input.empty() || queue->QuitPosted)
            return kernel::WAIT_OBJECT_0;
        const TTimer* timer = EarliestTimer(*queue, nullptr, 0, 0);
        const std::uint64_t now = GetClock().NowMs();
        if (timer && timer->Due <= now) return kernel::WAIT_OBJECT_0;
        if (now >= deadline) return kernel::WAIT_TIMEOUT;
        GetClock().WaitUntil(queue->Wake, lock, timer ? std::min(timer->Due, deadline) : deadline);
    }
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        // Only a procedure of a live timer of this thread is called: a forged WM_TIMER must not
        // make us jump to an arbitrary address.
        TMessageQueue* const queue = &ThisQueue();
        const auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        bool known = false;
        {
            std::lock_guard guard(queue->Lock);
            for (const TTimer& timer : queue->Timers)
                known = known ||
                        (timer.Hwnd == msg->hwnd && timer.Id == msg->wParam && timer.Proc == proc);
        }
        if (!known) return 0;
        proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (!msg->hwnd) return 0;
    WNDPROC proc = nullptr;
    if (!QueueOfWindow(msg->hwnd, &proc) || !proc) return 0;
    return proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

KeyTranslator SetKeyTranslator(KeyTranslator translator) {
    return gKeyTranslator.exchange(translator);
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN &&
                 msg->message != WM_KEYUP && msg->message != WM_SYSKEYUP))
        return FALSE;
    const KeyTranslator translator = gKeyTranslator.load();
    char16_t character = 0;
    if (!translator || translator(*msg, &character) != 1) return FALSE;
    MSG charMsg = *msg;
    charMsg.message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    charMsg.wParam = character;
    return Enqueue(ThisQueue(), charMsg, false);
}

ULONG_PTR GetMessageExtraInfo() {
    return ThisQueue().LastExtraInfo;
}
LONG GetMessageTime() {
    return static_cast<LONG>(ThisQueue().LastTime);
}

void AddRetrievalStage(RetrievalStage stage, void* context) {
    if (!stage) return;
    auto& stages = ThisQueue().Stages;
    for (const TStage& s : stages)
        if (s.Stage == stage && s.Context == context) return;
    stages.push_back({stage, context});
}

void RemoveRetrievalStage(RetrievalStage stage, void* context) {
    std::erase_if(ThisQueue().Stages,
                  [&](const TStage& s) { return s.Stage == stage && s.Context == context; });
}

RetrievalStage SetInputStage(RetrievalStage stage) {
    return gInputStage.exchange(stage);
}

} // namespace quill::user
