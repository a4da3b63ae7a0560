// The capture's benchmark set-up on Linux: a scanner list (capture_setup.h) whose thread is also
// the focus thread, so keys entered with keybd_event reach its hook.
#pragma once

#include "capture_setup.h"

namespace quill::bench {

struct TCaptureSetup {
    explicit TCaptureSetup(int devices, const char* prefix = nullptr, const char* suffix = nullptr)
        : previousFocus(FocusHere()), capture(devices, prefix, suffix), list(capture.list),
          sink(capture.sink) {}
    ~TCaptureSetup() { user::SetFocusThread(previousFocus); }

    static user::DWORD FocusHere() {
        user::MSG msg{};
        user::PeekMessageA(&msg, nullptr, 0, 0, user::PM_NOREMOVE);
        return user::SetFocusThread(user::GetCurrentThreadId());
    }
    user::DWORD previousFocus;
    TCaptureList capture;
    std::unique_ptr<capture::TManagerQuillList>& list;
    TSilentSink& sink;
};

} // namespace quill::bench
