#include "host/event_loop.h"

#include "platform/user/message_queue.h"

namespace quill::host {

void RunEventLoop(user::TKeyboardBridge& bridge, std::vector<IInputSource*>& sources) {
    std::vector<kernel::HANDLE> handles;
    while (bridge.Dispatch()) {
        handles.clear();
        for (IInputSource* source : sources)
            handles.push_back(source->WaitHandle());
        const auto count = static_cast<user::DWORD>(handles.size());
        // The wait ends for messages of other threads and for the thread's timers too.
        const user::DWORD woken =
            user::MsgWaitForMultipleObjects(count, count ? handles.data() : nullptr, user::FALSE,
                                            kernel::INFINITE, user::QS_ALLINPUT);
        if (woken == user::WAIT_FAILED) break;
        if (woken >= kernel::WAIT_OBJECT_0 + count) continue; // messages: dispatched above
        IInputSource* const ready = sources[woken - kernel::WAIT_OBJECT_0];
        if (!ready->OnReadable(bridge)) {
            std::erase(sources, ready);
            // Nothing can arrive any more.
            if (sources.empty()) return;
        }
    }
}

} // namespace quill::host
