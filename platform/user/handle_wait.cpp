// MsgWaitForMultipleObjects over wait handles: one poll over the handles' descriptors and the
// thread's queue wait (queue_wait.h), so that a host's loop sleeps until a key, a device's
// records or a message arrive, and never polls on a timer of its own.
#include "platform/kernel/last_error.h"
#include "platform/kernel/wait_handle.h"
#include "platform/user/clock.h"
#include "platform/user/queue_wait.h"
#include "platform/user/user_state_impl.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <poll.h>
#include <vector>

namespace quill::user::detail {

namespace {

// As on the platform: 64 objects at most, one of them the queue.
constexpr DWORD kMostHandles = 63;
constexpr std::uint64_t NoDeadline = UINT64_MAX;

// Something to retrieve, as GetMessage would find it now.
bool QueueReady() {
    TMessageQueue& queue = ThisQueue();
    std::lock_guard guard(queue.Lock);
    if (!queue.Sent.empty() || !queue.Posted.empty() || !queue.Input.empty() || queue.QuitPosted)
        return true;
    const std::uint64_t now = GetClock().NowMs();
    return std::any_of(queue.Timers.begin(), queue.Timers.end(),
                       [now](const TTimer& timer) { return timer.Due <= now; });
}

std::uint64_t SteadyMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// Milliseconds from `now` until `due` for poll: -1 for none, 0 when it has come.
int PollTimeout(std::uint64_t now, std::uint64_t due) {
    if (due == NoDeadline) return -1;
    if (due <= now) return 0;
    return static_cast<int>(std::min<std::uint64_t>(due - now, INT_MAX));
}

int MinTimeout(int a, int b) {
    if (a < 0) return b;
    if (b < 0) return a;
    return std::min(a, b);
}

} // namespace

DWORD WaitForMessagesOrHandles(DWORD count, const kernel::HANDLE* handles, DWORD milliseconds) {
    if (!handles || count == 0 || count > kMostHandles) {
        kernel::SetLastError(kernel::ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<pollfd> fds;
    for (DWORD i = 0; i < count; ++i) {
        const int fd = kernel::detail::WaitHandleDescriptor(handles[i]);
        if (fd < 0) {
            kernel::SetLastError(kernel::ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        fds.push_back({fd, POLLIN, 0});
    }
    // Without it (the kernel refused one) the loop still wakes for the thread's timers.
    const int queueFd = GetQueueWaitDescriptor();
    if (queueFd >= 0) fds.push_back({queueFd, POLLIN, 0});
    const std::uint64_t deadline =
        milliseconds == kernel::INFINITE ? NoDeadline : SteadyMs() + milliseconds;
    for (;;) {
        const bool ready = QueueReady();
        const int timeout = ready ? 0
                                  : MinTimeout(PollTimeout(SteadyMs(), deadline),
                                               PollTimeout(GetClock().NowMs(), GetNextTimerDue()));
        if (::poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR) continue;
            kernel::SetLastErrorFromErrno();
            return WAIT_FAILED;
        }
        for (DWORD i = 0; i < count; ++i)
            if (fds[i].revents) return kernel::WAIT_OBJECT_0 + i; // input, its end, or an error
        if (ready) return kernel::WAIT_OBJECT_0 + count;
        // Taken back before looking, so that whatever arrives from now on signals again.
        if (queueFd >= 0 && fds.back().revents) AcknowledgeQueueWait();
        if (QueueReady()) return kernel::WAIT_OBJECT_0 + count;
        if (SteadyMs() >= deadline) return kernel::WAIT_TIMEOUT;
    }
}

} // namespace quill::user::detail
