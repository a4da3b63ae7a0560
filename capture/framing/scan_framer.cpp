#include "capture/framing/scan_framer.h"

#include <algorithm>

namespace quill::capture {

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Resets a flag when the scope ends, also by an exception.
class FlagScope {
  public:
    FlagScope(bool& flag, bool during) : FFlag(flag), FAfter(!during) { FFlag = during; }
    ~FlagScope() { FFlag = FAfter; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& FFlag;
    bool FAfter;
};

} // namespace

TScanFramer::TScanFramer(const IFramingDevices& devices, IFramingOutput& output)
    : FDevices(devices), FOutput(output) {}

void TScanFramer::SetCapturing(bool on) {
    FCapturing = on;
    if (on || FHeldKeys.empty()) return;
    FOutput.StopTimer();
    ReplayHeldKeys();
}

void TScanFramer::Reset() {
    FHeldKeys.clear();
    FBuffer.clear();
}

KeyDecision TScanFramer::OnKeyDown(const KeyDown& key) {
    if (!FCapturing) return KeyDecision::Pass;
    bool completed = false;
    std::int32_t timeout = 0;
    try {
        FOutput.StopTimer();
        FBuffer.push_back(key.Char);
        FHeldKeys.push_back(
            HeldKeyLine({key.Shift, key.Control, key.Alt, key.Key, key.RightShift, key.RightControl,
                         key.RightAlt, key.Extended, key.AltDigits, key.CapsLock, key.NumLock}));
        bool keep = false;
        for (int i = 0; i < FDevices.DeviceCount(); ++i) {
            const IFramingDevice& device = FDevices.DeviceAt(i);
            // Read for every device, so the last device of the list sets the time-out.
            timeout = device.HookTimeOut();
            if (!device.IsSwitchedOn()) continue;
            if (device.UseInterCharInterval()) {
                keep = true;
                continue;
            }
            const std::string& prefix = device.Prefix();
            const std::string& suffix = device.Suffix();
            const std::string& buffer = FBuffer;
            const std::size_t n = buffer.size(), p = prefix.size();
            if (n > p || prefix.compare(0, n, buffer) == 0) keep = true;
            const bool prefixed = StartsWith(buffer, prefix);
            if (prefixed) keep = true;
            if (prefixed && EndsWith(buffer, suffix) && n > p) {
                const std::string rest = buffer.substr(p);
                std::string data;
                if (!suffix.empty()) {
                    const std::size_t at = rest.find(suffix);
                    if (at != std::string::npos) data = rest.substr(0, at);
                }
                Reset();
                completed = true;
                if (!FOutput.RaiseScan(i, data)) return KeyDecision::Hold;
            }
        }
        if (!keep && FHeldKeys.size() == 1) {
            Reset();
            return KeyDecision::Pass;
        }
        if (!FOutput.StartTimer(timeout > 0 ? timeout : ShortestTimeOutMs)) return GiveUpHolding();
        return KeyDecision::Hold;
    } catch (...) {
        // A key that a raised scan already took must not reach the application as well.
        if (completed) return KeyDecision::Hold;
        return JudgingFailed(timeout);
    }
}

KeyDecision TScanFramer::JudgingFailed(std::int32_t timeoutReadBefore) {
    // The keys reach the application now, but their characters stay in the buffer: a device
    // before the failing one may still complete its scan with the next keys.
    const KeyDecision decision = GiveUpHolding(true);
    bool started = false;
    try {
        started = FOutput.StartTimer(timeoutReadBefore > 0 ? timeoutReadBefore : ShortestTimeOutMs);
    } catch (...) {
    }
    // Without a time-out the sequence would never end: it ends now.
    if (!started) Reset();
    return decision;
}

KeyDecision TScanFramer::GiveUpHolding(bool keepBuffer) {
    if (FHeldKeys.size() <= 1) {
        // The key reaches the application now, so it must not be replayed later.
        FHeldKeys.clear();
        if (!keepBuffer) FBuffer.clear();
        return KeyDecision::Pass;
    }
    ReplayHeldKeys(keepBuffer);
    return KeyDecision::Hold;
}

void TScanFramer::OnTimeout() {
    FOutput.StopTimer();
    FTimeoutRunning = true;
    try {
        if (!DeliverOrReplay()) return; // destroyed during an event call: touch nothing more
    } catch (...) {
        FTimeoutRunning = false;
        throw;
    }
    FTimeoutRunning = false;
}

bool TScanFramer::DeliverOrReplay() {
    bool delivered = false;
    // The count is read anew each time: the receiver of a scan may remove devices.
    for (int i = 0; i < FDevices.DeviceCount(); ++i) {
        const IFramingDevice& device = FDevices.DeviceAt(i);
        if (!device.IsSwitchedOn() || !device.UseInterCharInterval()) continue;
        if (FBuffer.size() < 2 || FBuffer.size() < device.MinDataLen()) continue;
        std::string text;
        text.reserve(FBuffer.size());
        std::copy_if(FBuffer.begin(), FBuffer.end(), std::back_inserter(text),
                     [](char c) { return c != '\r' && c != '\n'; });
        const std::string& prefix = device.Prefix();
        const std::string& suffix = device.Suffix();
        if (!prefix.empty()) {
            if (!StartsWith(text, prefix)) continue;
            text.erase(0, prefix.size());
        }
        if (!suffix.empty()) {
            // The suffix must end the text and occur nowhere earlier.
            if (text.size() < suffix.size() || text.find(suffix) != text.size() - suffix.size())
                continue;
            text.erase(text.size() - suffix.size());
        }
        delivered = true;
        Reset();
        if (!FOutput.RaiseScan(i, text)) return false;
    }
    if (delivered) return true;
    if (!FHeldKeys.empty())
        ReplayHeldKeys();
    else
        FBuffer.clear(); // a sequence whose keys all reached the application already
    return true;
}

void TScanFramer::ReplayHeldKeys(bool keepBuffer) {
    FlagScope replaying(FCapturing, false);
    std::vector<HeldKey> keys;
    keys.reserve(FHeldKeys.size());
    for (const std::string& line : FHeldKeys)
        keys.push_back(ParseHeldKeyLine(line));
    FHeldKeys.clear();
    if (!keepBuffer) FBuffer.clear();
    FOutput.ReplayKeys(keys);
}

} // namespace quill::capture
