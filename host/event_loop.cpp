#include "host/event_loop.h"

#include <cerrno>
#include <poll.h>

namespace quill::host {

void RunEventLoop(user::TKeyboardBridge& bridge, std::vector<IInputSource*>& sources) {
    std::vector<pollfd> fds;
    while (bridge.Dispatch()) {
        fds.clear();
        fds.push_back({bridge.WaitDescriptor(), POLLIN, 0});
        for (IInputSource* source : sources)
            fds.push_back({source->Descriptor(), POLLIN, 0});
        // The descriptor carries the timers too; only without one does the loop need a deadline.
        const int timeout = bridge.WaitDescriptor() >= 0 ? -1 : bridge.WaitTimeoutMs();
        if (::poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        // Sources whose descriptors were polled, in the same order; ended ones leave.
        std::vector<IInputSource*> polled = sources;
        for (std::size_t i = 0; i < polled.size(); ++i) {
            if (!(fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) continue;
            if (!polled[i]->OnReadable(bridge)) {
                std::erase(sources, polled[i]);
                // Nothing can arrive any more.
                if (sources.empty()) return;
            }
        }
    }
}

} // namespace quill::host
