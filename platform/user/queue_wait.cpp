#include "platform/user/queue_wait.h"

#include "platform/kernel/last_error.h"
#include "platform/user/clock.h"
#include "platform/user/user_state_impl.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace quill::user {

using namespace detail;

namespace {

constexpr std::uint64_t NoDeadline = UINT64_MAX;

// Arms the timerfd to fire `due - now` milliseconds from now (at once when that has passed), or
// disarms it for NoDeadline. The clock truncates to milliseconds, so the kernel's timer never
// fires before the clock reads `due`.
void ArmTimer(TQueueWait& wait, std::uint64_t due) {
    itimerspec setting{};
    if (due != NoDeadline) {
        const std::uint64_t now = GetClock().NowMs();
        const std::uint64_t ms = due > now ? due - now : 0;
        setting.it_value.tv_sec = static_cast<time_t>(ms / 1000);
        setting.it_value.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
        if (ms == 0) setting.it_value.tv_nsec = 1; // zero would disarm
    }
    ::timerfd_settime(wait.Timer, 0, &setting, nullptr);
    wait.ArmedDue = due;
}

void Drain(int fd) {
    std::uint64_t count = 0;
    while (::read(fd, &count, sizeof count) > 0) {
    }
}

std::uint64_t EarliestDue(const TMessageQueue& queue) {
    std::uint64_t due = NoDeadline;
    for (const TTimer& timer : queue.Timers)
        if (timer.Due < due) due = timer.Due;
    return due;
}

} // namespace

namespace detail {

TMessageQueue::~TMessageQueue() {
    for (int fd : {Wait.Poll, Wait.Event, Wait.Timer})
        if (fd >= 0) ::close(fd);
}

void SignalQueueWait(TMessageQueue& queue) {
    if (queue.Wait.Event < 0 || queue.Wait.Signalled || queue.ThreadId == GetCurrentThreadId())
        return;
    const std::uint64_t one = 1;
    if (::write(queue.Wait.Event, &one, sizeof one) == sizeof one) queue.Wait.Signalled = true;
}

void NoteTimerDue(TMessageQueue& queue, std::uint64_t due) {
    if (queue.Wait.Timer >= 0 && due < queue.Wait.ArmedDue) ArmTimer(queue.Wait, due);
}

} // namespace detail

int GetQueueWaitDescriptor() {
    TMessageQueue* const queue = &ThisQueue();
    std::lock_guard guard(queue->Lock);
    TQueueWait& wait = queue->Wait;
    if (wait.Poll >= 0) return wait.Poll;
    const int poll = ::epoll_create1(EPOLL_CLOEXEC);
    const int event = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    bool ok = poll >= 0 && event >= 0 && timer >= 0;
    for (int fd : {event, timer}) {
        epoll_event entry{};
        entry.events = EPOLLIN;
        entry.data.fd = fd;
        ok = ok && ::epoll_ctl(poll, EPOLL_CTL_ADD, fd, &entry) == 0;
    }
    if (!ok) {
        // Nothing half made stays behind.
        for (int fd : {poll, event, timer})
            if (fd >= 0) ::close(fd);
        kernel::SetLastError(kernel::ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    wait.Poll = poll;
    wait.Event = event;
    wait.Timer = timer;
    // What is already there, and what another thread places before the loop first waits, must not
    // wait for a later wake-up.
    if (!queue->Posted.empty() || !queue->Input.empty() || !queue->Sent.empty() ||
        queue->QuitPosted) {
        const std::uint64_t one = 1;
        if (::write(event, &one, sizeof one) == sizeof one) wait.Signalled = true;
    }
    ArmTimer(wait, EarliestDue(*queue));
    return poll;
}

void AcknowledgeQueueWait() {
    TMessageQueue* const queue = &ThisQueue();
    std::lock_guard guard(queue->Lock);
    TQueueWait& wait = queue->Wait;
    if (wait.Poll < 0) return;
    if (wait.Signalled) {
        Drain(wait.Event);
        wait.Signalled = false;
    }
    // The kernel's timer can only have fired once the time it was armed for has come. Such a
    // firing may be early (the timer it was armed for was reset or killed): it is re-armed for
    // the timer that is really next. A timer still ahead stays as it is.
    const bool fired = wait.ArmedDue != NoDeadline && wait.ArmedDue <= GetClock().NowMs();
    if (fired) Drain(wait.Timer);
    const std::uint64_t due = EarliestDue(*queue);
    if (fired || due < wait.ArmedDue) ArmTimer(wait, due);
}

std::uint64_t GetNextTimerDue() {
    TMessageQueue* const queue = &ThisQueue();
    std::lock_guard guard(queue->Lock);
    return EarliestDue(*queue);
}

} // namespace quill::user
