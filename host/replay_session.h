// TReplaySession: quill-host's --replay. It feeds a recording's key events through a
// TKeyEventPlayer on the host's UI thread and writes what happens, each line with its time in the
// recording ("[12.345] ", seconds since the first event): the scans as "event: ..." lines, the
// text that reached the application as "typed: ..." lines (one per run of characters that arrive
// together), and the player's warnings on the error stream as "FILE: line N: ...". Control
// characters print as \r, \t and \xHH (a backslash as \\), so that a GS inside GS1 data is seen.
//
// Used on the host's UI thread only.
#pragma once

#include "host/console.h"
#include "host/key_event_player.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill::host {

// `text` (UTF-8) with its control characters written as \r, \t, \xHH and a backslash as \\.
std::string EscapeControls(std::string_view text);

class TReplaySession {
  public:
    TReplaySession(TConsole& console, std::string file);

    // Feeds every event, then lets `settleMs` pass so that held keys time out.
    void Run(const std::vector<TKeyEvent>& events, std::uint32_t settleMs);
    // Writes a scan event raised now.
    void Event(std::string_view source, std::string_view name, std::string_view data);

  private:
    std::string Stamp() const;
    void Typed(char16_t character);
    void FlushTyped();

    TConsole& FConsole;
    std::string FFile;
    TKeyEventPlayer FPlayer;
    std::u16string FTyped;
    std::uint64_t FTypedAt = 0;
};

} // namespace quill::host
