// Kernel input events (struct input_event, as an evdev device node delivers them and as they
// travel through a pipe) decoded into the key events that recordings give (recording.h), so that
// a live device and a replayed recording share everything after this step.
//
// Decode keeps the EV_KEY events: value 0 a release, 1 a press, 2 an auto-repeat, with the
// kernel's timestamp in microseconds; every other type is skipped. The decoder tracks which keys
// are down, so that a gap in the stream never leaves a key pressed for ever: a SYN_DROPPED (the
// kernel's buffer overflowed) discards the events up to the next SYN_REPORT, as the kernel asks,
// and releases every key the stream had down. A device read through libevdev never shows
// SYN_DROPPED (libevdev resynchronises and hands over the differences as ordinary events), so the
// same decoding serves both. DecodeBytes takes a raw byte stream: whole records are decoded, a
// record cut in two waits for its rest.
//
// A record whose timestamp no clock gives (seconds below 0 or so far ahead that the time in
// microseconds leaves 64 bits, microseconds outside 0 to 999999) means the stream is not what it
// claims to be: decoding stops there, Error() names the record (counted from 1) and what is
// wrong, and every later record is ignored. The key events decoded before it stay in `out`.
//
// Not thread-safe; one decoder per stream.
#pragma once

#include "host/recording.h"

#include <cstddef>
#include <cstdint>
#include <linux/input.h>
#include <string>
#include <vector>

namespace quill::host {

class TInputEventDecoder {
  public:
    // Both false once the stream has failed (Error() is then not empty).
    bool Decode(const input_event& event, std::vector<TKeyEvent>& out);
    bool DecodeBytes(const void* data, std::size_t size, std::vector<TKeyEvent>& out);
    // Bytes of a record cut in two that wait for the rest.
    std::size_t PendingBytes() const { return FPartial.size(); }
    // Why decoding stopped; empty while the stream is sound.
    const std::string& Error() const { return FError; }

  private:
    std::vector<std::uint16_t> FDown; // keys pressed and not yet released, in press order
    bool FDropping = false;
    std::string FPartial;
    std::uint64_t FRecords = 0; // records seen, the failing one included
    std::string FError;
};

} // namespace quill::host
