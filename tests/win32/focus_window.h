// A shown window of the test thread that holds the keyboard focus. On Windows the keystrokes that
// keybd_event and SendInput enter go to the thread of the foreground window: the tests of the
// keyboard services are that thread, and this window is where their keys arrive.
//
// The window is made with the system's own calls (the contract's windows are message targets
// only); everything the tests check goes through the contract. One per thread at a time.
#pragma once

#include "platform/user/keyboard_input.h"
#include "platform/user/user_types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quill::test {

class TFocusWindow {
  public:
    // Shows the window and waits (up to two seconds) until it has the focus; Ready() tells.
    TFocusWindow();
    ~TFocusWindow();
    TFocusWindow(const TFocusWindow&) = delete;
    TFocusWindow& operator=(const TFocusWindow&) = delete;

    // The program's one window, made on first use and kept until the process ends: under Wine,
    // destroying the foreground window waits for the display to move the focus elsewhere.
    static TFocusWindow& OfThisProgram();

    bool Ready() const { return FReady; }
    user::HWND Handle() const { return FHandle; }

    // Retrieves, translates and dispatches the thread's messages until `done` holds or
    // `timeoutMs` of the system's time have passed; returns whether `done` held.
    bool PumpUntil(const std::function<bool()>& done, user::DWORD timeoutMs = 2000);
    // Retrieves and dispatches every message the thread's queue holds now.
    void Drain();

    // The key and character messages that reached the window, in order.
    std::vector<user::MSG> Received;

  private:
    user::HWND FHandle = nullptr;
    bool FReady = false;
};

// Enters key events as a keyboard does: with the system's SendInput, past the library's input
// services, so nothing in the process knows of them before they arrive. Returns how many were
// entered.
unsigned EnterAsKeyboard(const std::vector<user::INPUT>& inputs);

// Destroys the calling thread's message-only window of class `className` (a window that the
// library made for itself, taken away to see how it copes); false when there is none.
bool DestroyThreadMessageWindow(const char* className);

// The calling thread's active window (a form being shown, a message box), nil when none.
user::HWND ActiveWindow();
// The window's own text and those of its children, in creation order.
std::vector<std::u16string> WindowTexts(user::HWND window);

// The colour (0x00BBGGRR) of the pixel at (x, y) of the window's client area once it has been
// painted anew.
std::uint32_t PixelAt(user::HWND window, int x, int y);

} // namespace quill::test
