#include "host/event_loop.h"

#include "platform/user/message_queue.h"

namespace quill::host {

void RunEventLoop(user::TKeyboardBridge& bridge, std::vector<IInputSource*>& sources) {
    std::vector<IInputSource*> order;
    std::vector<kernel::HANDLE> handles;
    std::size_t first = 0; // the source asked first this round
    while (bridge.Dispatch()) {
        // The wait names the first ready handle only: starting each round after the source served
        // last keeps a source that never runs dry from shutting out the others (Ctrl+C among them).
        order.clear();
        handles.clear();
        for (std::size_t i = 0; i < sources.size(); ++i) {
            order.push_back(sources[(first + i) % sources.size()]);
            handles.push_back(order.back()->WaitHandle());
        }
        const auto count = static_cast<user::DWORD>(handles.size());
        // The wait ends for messages of other threads and for the thread's timers too.
        const user::DWORD woken =
            user::MsgWaitForMultipleObjects(count, count ? handles.data() : nullptr, user::FALSE,
                                            kernel::INFINITE, user::QS_ALLINPUT);
        if (woken == user::WAIT_FAILED) break;
        if (woken >= kernel::WAIT_OBJECT_0 + count) continue; // messages: dispatched above
        const std::size_t index = woken - kernel::WAIT_OBJECT_0;
        IInputSource* const ready = order[index];
        first = (first + index + 1) % sources.size();
        if (!ready->OnReadable(bridge)) {
            std::erase(sources, ready);
            // Nothing can arrive any more.
            if (sources.empty()) return;
        }
    }
}

} // namespace quill::host
