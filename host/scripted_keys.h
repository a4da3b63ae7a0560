// A script's keys (--keys): each character becomes the key-down and key-up that type it on the US
// English layout, with Shift (or Control for a control code) pressed around it as the layout
// needs, entered into the system's input path with keybd_event from a thread of its own, as a
// device would. The input path delivers them to the focus thread (the host's UI thread, or on
// Windows the host's focused window), where the plug-in's hook sees them.
//
// TypeByte may be called from any thread (the input path is thread-safe). Bytes the layout cannot
// type (non-ASCII) are skipped and reported as false.
#pragma once

#include "platform/user/user_types.h"

#include <atomic>
#include <string>
#include <thread>

namespace quill::host {

// Types one byte: DEL (127) as Backspace, LF as Enter. False when the layout cannot type it.
bool TypeByte(unsigned char byte);

// Types `text` on a thread of its own, one character every `intervalMs` milliseconds, then waits
// `settleMs` (for time-outs to run out) and posts `quitMessage` to `uiThread`. The destructor
// stops the typing between two characters and waits for the thread.
class TScriptedKeys {
  public:
    TScriptedKeys(std::string text, unsigned intervalMs, unsigned settleMs, user::DWORD uiThread,
                  user::UINT quitMessage);
    ~TScriptedKeys();
    TScriptedKeys(const TScriptedKeys&) = delete;
    TScriptedKeys& operator=(const TScriptedKeys&) = delete;

  private:
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

} // namespace quill::host
