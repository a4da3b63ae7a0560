// The terminal host's event loop: one thread waits, without polling, for the messages and timers
// of the UI thread and for its input sources (the terminal, input devices) at once
// (MsgWaitForMultipleObjects over the sources' wait handles), and hands each what is ready. The
// loop ends when the bridge retrieves WM_QUIT.
//
// A source that ends (end of input, a device unplugged) leaves the loop; the others and the host
// go on. When the last source ends the loop ends too: nothing can arrive any more. Everything
// runs on the bridge's thread.
#pragma once

#include "platform/kernel/named_mutex.h"
#include "platform/user/keyboard_bridge.h"

#include <vector>

namespace quill::host {

class IInputSource {
  public:
    // Signalled when the source has something to read, its end or an error; the source owns it.
    virtual kernel::HANDLE WaitHandle() const = 0;
    // Reads what is ready and feeds its keys to `bridge`; false when the source has ended.
    virtual bool OnReadable(user::TKeyboardBridge& bridge) = 0;

  protected:
    ~IInputSource() = default;
};

// Runs until WM_QUIT, or until the last of `sources` ends (with none to begin with, only WM_QUIT
// ends it). `sources` are borrowed; ended ones are taken out of the vector.
void RunEventLoop(user::TKeyboardBridge& bridge, std::vector<IInputSource*>& sources);

} // namespace quill::host
