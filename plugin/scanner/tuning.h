// Run-time tuning of the scanner driver: ten known integer keys read from the tuning file beside
// the library (the library's path with its extension replaced by ".ini", section "Start"), and the
// start-up values the capture may consult.
//
// ReadTuning compares the key with the ten known names ignoring case and returns the file's value,
// or the key's default when the file or the key is missing or the value is no whole 32-bit integer
// ("12abc" and "1.5" give the default, not their leading digits); an unknown name is a
// programming error and raises rtl::Exception "Неизвестный параметр запуска [<name>]". The file is
// read by the platform's profile rules (kernel/profile.h): a regular file of at most
// kernel::kMaxProfileSize bytes, anything else counting as missing. ReadTuning reads it anew on
// each call; the start-up values come from one reading of it, once per load, by
// ReadStartupTuning (the library's start-up, before the driver object exists) and are only read
// afterwards.
//
// ReleaseModifierKeys sends the key-up of both Shift, Control and Alt keys, so that no modifier is
// left logically down after the capture swallowed keystrokes; the library's shut-down calls it.
#pragma once

#include "platform/kernel/profile.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quill::plugin {

struct TTuningKey {
    std::string_view Name;
    std::int32_t Default;
};

// The known keys in their order.
extern const std::array<TTuningKey, 10> TuningKeys;

// The tuning file of this library: its path with the extension replaced by ".ini".
std::string TuningFileName();
// The path `libraryPath` with its extension (if any, after the last "/") replaced by ".ini".
std::string TuningFileNameFor(std::string_view libraryPath);

std::int32_t ReadTuning(std::string_view key);
// The same from a given file (tests), or from a file already read (the start-up).
std::int32_t ReadTuningFrom(std::string_view key, const std::string& fileName);
std::int32_t ReadTuningFrom(std::string_view key, const kernel::TProfileFile& file);

// The seven values read at start-up, named after their keys.
struct TStartupTuning {
    std::int32_t ReleaseQueueLag;
    std::int32_t KeyDriblingTime;
    std::int32_t SynchronizerLag;
    std::int32_t DeleteHookedMsg;
    std::int32_t DoNotClearTasks;
    std::int32_t QueueToOrvixMsgInt;
    std::int32_t TasksCheckTimer;
};

// Reads the seven start-up values, in their documented order, from `fileName`.
TStartupTuning ReadStartupTuningFrom(const std::string& fileName);
// Reads them from this library's tuning file into StartupTuning().
void ReadStartupTuning();
// The values read at start-up (the defaults until ReadStartupTuning has run).
const TStartupTuning& StartupTuning();

// The six modifier-key releases: left Shift, Control, Alt, then right Shift, Control, Alt.
void ReleaseModifierKeys();

} // namespace quill::plugin
