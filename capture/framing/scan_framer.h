// TScanFramer: the framing of scans in the keyboard stream, as a plain state machine.
//
// It sees every key-down that the keyboard hook examines (already converted to its character
// with the US English layout) and the time-outs of the capture timer, and decides: hold the key
// or pass it on, raise a scan for a device, replay the held keys, start or stop the timer. The
// decisions leave through IFramingOutput; the devices are read through IFramingDevices at the
// moment they are needed, so a changed prefix, suffix or time-out takes effect at the next key.
//
// States: not capturing (every key passes); idle (empty buffer); holding (one or more held
// keys, timer running). Only the first key of a sequence is judged: it opens a held sequence when
// some switched-on device is in inter-character mode, has an empty prefix, or has a prefix that
// begins with this key's character; once open, every key-down is held until a device completes a
// scan or the time-out fires. Comparisons are exact byte comparisons.
//
// Held keys always have a running timer: a time-out of 0 or less waits ShortestTimeOutMs, and a
// timer that cannot be started gives the held keys up at once (a single held key passes, several
// are replayed in order) and ends the sequence.
//
// A device read that fails while a key is judged (a "HookTimeOut" that is no integer) stops the
// judging of that key, and the key reaches the application once: it passes, or, behind earlier
// held keys, is replayed with them in order. What the judging had done stays done: a scan it
// completed is raised (and the key, which belongs to it, is not typed), and the sequence stays
// open with the key's character in the buffer, so a later key can still complete a scan of a
// device listed before the failing one. Such a sequence's keys have all reached the application;
// its timer runs with the time-out read before the failure (ShortestTimeOutMs when none was), and
// the time-out ends it.
//
// Not thread-safe: everything runs on the thread that owns the keyboard hook.
#pragma once

#include "capture/framing/held_keys.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quill::capture {

// One device as the framer reads it.
class IFramingDevice {
  public:
    virtual bool IsSwitchedOn() const = 0;
    // The "HookTimeOut" parameter in milliseconds; may throw when it is no integer.
    virtual std::int32_t HookTimeOut() const = 0;
    // "HookPref" and "HookPost" decoded from their escaped form (see escapes.h). The framer asks
    // for them at every key, so a device keeps them ready rather than decoding each time.
    virtual const std::string& Prefix() const = 0;
    virtual const std::string& Suffix() const = 0;
    // The snapshots taken when the device was switched on.
    virtual bool UseInterCharInterval() const = 0;
    virtual std::uint8_t MinDataLen() const = 0;

  protected:
    ~IFramingDevice() = default;
};

class IFramingDevices {
  public:
    virtual int DeviceCount() const = 0;
    virtual const IFramingDevice& DeviceAt(int index) const = 0;

  protected:
    ~IFramingDevices() = default;
};

class IFramingOutput {
  public:
    virtual void StopTimer() = 0;
    // Starts the time-out timer with an interval of at least 1 ms; false when it could not be
    // started (the framer then replays the held keys at once rather than hold them for ever).
    virtual bool StartTimer(std::int32_t intervalMs) = 0;
    // A scan of device `deviceIndex` with the text between its prefix and suffix. Returns false
    // when the framer was destroyed during the call (the receiver re-entered and freed its
    // owner): the framer then returns at once without touching itself again.
    virtual bool RaiseScan(int deviceIndex, const std::string& data) = 0;
    // Types the held keys again, in order, each with the modifiers it had on the side it had
    // them, as one batch that no live key can enter; afterwards every modifier is down exactly
    // when the user holds it.
    virtual void ReplayKeys(const std::vector<HeldKey>& keys) = 0;

  protected:
    ~IFramingOutput() = default;
};

// A key-down as the hook sees it: the key, its character (0 when the key makes none), the
// modifiers that were down, with their sides, and the lock states. A character entered as an Alt
// code is one key-down (Key VK_MENU) whose AltDigits are the keypad digits typed; for another key,
// AltDigits are those of an Alt code that the key abandoned (see HeldKey).
struct KeyDown {
    std::uint16_t Key = 0;
    char Char = 0;
    bool Shift = false;
    bool Control = false;
    bool Alt = false;
    bool RightShift = false;
    bool RightControl = false;
    bool RightAlt = false;
    bool Extended = false;
    std::string AltDigits;
    bool CapsLock = false;
    bool NumLock = false;
};

// The time-out used when a device's "HookTimeOut" is 0 or less: the shortest interval of the
// platform's timers, so that a held sequence is never left without a timer.
constexpr std::int32_t ShortestTimeOutMs = 10;

enum class KeyDecision { Pass, Hold };

class TScanFramer {
  public:
    TScanFramer(const IFramingDevices& devices, IFramingOutput& output);

    bool Capturing() const { return FCapturing; }
    // Switching capture off with keys held gives them back at once (replayed in order, the timer
    // stopped), so that keys typed afterwards, which pass unexamined, cannot overtake them.
    void SetCapturing(bool on);

    // Judges one key-down (never a modifier key: the hook passes those itself). Exceptions of a
    // device read are caught (see the head of this file): the key then reaches the application
    // once, unless a scan already took it.
    KeyDecision OnKeyDown(const KeyDown& key);
    // The time-out: inter-character devices may claim the held text, else the keys are replayed.
    void OnTimeout();
    // True while OnTimeout runs (the device list's destruction waits for it).
    bool TimeoutRunning() const { return FTimeoutRunning; }

    const std::string& Buffer() const { return FBuffer; }
    const std::vector<std::string>& HeldLines() const { return FHeldKeys; }
    void Reset();

  private:
    // The body of OnTimeout; false when the framer was destroyed during an event call.
    bool DeliverOrReplay();
    // Types the held keys again; the buffer is emptied too unless `keepBuffer`.
    void ReplayHeldKeys(bool keepBuffer = false);
    // Holding the current key failed: a lone key passes; with earlier keys held, all of them,
    // this one last, are replayed so that the order stays. The buffer is emptied too unless
    // `keepBuffer`.
    KeyDecision GiveUpHolding(bool keepBuffer = false);
    // A device read failed while the current key was judged (see the head of this file).
    KeyDecision JudgingFailed(std::int32_t timeoutReadBefore);

    const IFramingDevices& FDevices;
    IFramingOutput& FOutput;
    bool FCapturing = false;
    bool FTimeoutRunning = false;
    // The keys held back, one line each. Usually one per character of FBuffer; after a failed
    // read the buffer also holds the characters of keys that have reached the application.
    std::vector<std::string> FHeldKeys;
    std::string FBuffer;
};

} // namespace quill::capture
