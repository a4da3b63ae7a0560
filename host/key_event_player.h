// TKeyEventPlayer: feeds a keyboard device's key events (TKeyEvent, from a recording or a live
// device) through the platform's input path at their times, pumping the calling thread's messages
// as the focused application does in between, so the plug-in's hook, its time-out timer and its
// replays all run as they would for keys typed there and then.
//
// The first event fed fixes the origin: an event is entered when the installed clock has moved on
// by the event's distance from the first one. The player waits with MsgWaitForMultipleObjects, so
// under the virtual clock (clock.h) time jumps from event to event and from timer to timer, and a
// long recording replays in no time with the same result every run; under the monotonic clock it
// waits for real, as a live device needs.
//
// Evdev codes become the platform's keys through evdev_keymap.h. What cannot be fed is skipped
// with a warning naming the event's line: an unknown key code, a release of a key that is not
// down, a value other than 0, 1 and 2. An auto-repeat (value 2) is another press of the held key,
// as the platform's typematic repeat is; an event whose time lies before the previous one's is
// entered at once (the clock never goes back), with a warning.
//
// The application's text is what TranslateMessage makes of the key messages: each WM_CHAR goes to
// the `typed` callback. Use on the thread whose queue receives the keys (the focus thread).
#pragma once

#include "host/recording.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quill::host {

class TKeyEventPlayer {
  public:
    using TypedHandler = std::function<void(char16_t character)>;
    using WarningHandler = std::function<void(const std::string& text)>;

    TKeyEventPlayer(TypedHandler typed, WarningHandler warning);

    // Waits for the event's time (running the timers due before it), then enters it.
    void Feed(const TKeyEvent& event);
    // Lets `ms` milliseconds pass with no key, pumping messages (held keys time out).
    void Settle(std::uint32_t ms);
    // Handles every message that is there now.
    void Pump();
    // Milliseconds since the first event was fed (0 before).
    std::uint64_t ElapsedMs() const;

  private:
    void PumpUntil(std::uint64_t targetMs);
    void Warn(const TKeyEvent& event, const std::string& text);

    TypedHandler FTyped;
    WarningHandler FWarning;
    bool FStarted = false;
    std::int64_t FOriginUs = 0;
    std::int64_t FLastUs = 0;
    std::uint64_t FStartMs = 0;
    std::vector<bool> FDown = std::vector<bool>(65536, false);
};

} // namespace quill::host
