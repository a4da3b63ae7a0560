// Recordings of a Linux keyboard device: the text that `evtest` prints and the evemu-record
// format, told apart by content, decoded into the key events they hold.
//
// ParseRecording keeps the EV_KEY events (value 0 release, 1 press, 2 auto-repeat) with their
// times and source lines; every other event type (EV_SYN, EV_MSC, EV_LED...) and the descriptive
// lines of either format are skipped. Times are microseconds as recorded: evtest gives the
// wall-clock time, evemu-record the time since its start. Key codes are left as the kernel's
// evdev codes, so that a live device reader can produce the same TKeyEvent sequence and share
// everything after this step.
//
// A line that fits neither format's grammar is an error that names its line; a text in which
// neither format is recognised, and an empty text, are errors too. The parse is all or nothing:
// on error the result holds no events. Pure and thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill::host {

// One key event of a keyboard device.
struct TKeyEvent {
    std::int64_t TimeUs = 0;
    std::uint16_t Code = 0; // evdev key code (KEY_*)
    std::int32_t Value = 0; // 0 release, 1 press, 2 auto-repeat
    // Line of the recording, counted from 1; 0 for a live event. 64 bits: a recording of more
    // than 2^31 lines is only a large file.
    std::int64_t Line = 0;
    // The name the recording gave the code ("KEY_A"), empty when it gave none.
    std::string Name;
};

enum class TRecordingFormat { Evtest, Evemu };

struct TRecordingParse {
    bool Ok = false;
    TRecordingFormat Format = TRecordingFormat::Evtest;
    std::vector<TKeyEvent> Events;
    // What the text held: its lines, and the lines read as events of any type.
    std::int64_t Lines = 0;
    std::int64_t EventLines = 0;
    // When !Ok: the line at fault (0 for the whole text) and what is wrong.
    std::int64_t ErrorLine = 0;
    std::string Error;
};

// `firstLine` is the number of the text's first line: 1 for a whole recording, more for a part
// of a longer one.
TRecordingParse ParseRecording(std::string_view text, std::int64_t firstLine = 1);

} // namespace quill::host
