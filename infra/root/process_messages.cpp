#include "infra/root/process_messages.h"

#include "platform/user/message_queue.h"

namespace quill::infra {

void ProcessMessages() {
    using namespace user;
    MSG msg{};
    bool quit = false;
    int quitCode = 0;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            quitCode = static_cast<int>(msg.wParam);
            continue;
        }
        try {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } catch (...) {
            // A failing handler must not stop the pump that a waiting caller relies on.
        }
    }
    if (quit) PostQuitMessage(quitCode);
}

} // namespace quill::infra
