// A capture harness over the framing state machine alone: simulated devices, a virtual timer
// that fires like a window timer (periodically until stopped), and an application that receives
// every passed and every replayed key as its US-layout character.
#pragma once

#include "capture/framing/escapes.h"
#include "capture/framing/scan_framer.h"
#include "capture/key_script.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quill::test {

struct SimDevice final : capture::IFramingDevice {
    bool On = true;
    std::string Pref = "+++";
    std::string Post = "+++";
    std::string TimeOut = "65";
    bool InterChar = false;
    std::uint8_t MinLen = 4;

    bool IsSwitchedOn() const override { return On; }
    std::int32_t HookTimeOut() const override;
    const std::string& Prefix() const override { return FPrefix = capture::DecodeEscapes(Pref); }
    const std::string& Suffix() const override { return FSuffix = capture::DecodeEscapes(Post); }
    bool UseInterCharInterval() const override { return InterChar; }
    std::uint8_t MinDataLen() const override { return MinLen; }

  private:
    mutable std::string FPrefix, FSuffix;
};

class FramerSimulation final : public capture::IFramingDevices, public capture::IFramingOutput {
  public:
    FramerSimulation() : Framer(*this, *this) { Framer.SetCapturing(true); }

    std::vector<SimDevice> Devices;
    capture::TScanFramer Framer;
    std::int64_t Now = 0;
    std::vector<std::pair<int, std::string>> Scans;
    std::string App;

    // A key-down typed now; the character decides the key and its Shift.
    void TypeChar(char c);
    void PressKey(std::uint8_t key, char c);
    void Advance(std::int64_t ms);
    bool TimerRunning() const { return FDue.has_value(); }

    int DeviceCount() const override { return static_cast<int>(Devices.size()); }
    const capture::IFramingDevice& DeviceAt(int i) const override { return Devices[i]; }
    void StopTimer() override { FDue.reset(); }
    bool StartTimer(std::int32_t interval) override;
    bool RaiseScan(int device, const std::string& data) override {
        Scans.emplace_back(device, data);
        return true;
    }
    void ReplayKeys(const std::vector<capture::HeldKey>& keys) override;

  private:
    std::optional<std::int64_t> FDue;
    std::int32_t FInterval = 0;
};

// Runs a key script against the simulation; returns an empty text when every expectation holds,
// else what went wrong.
std::string RunFramerScript(const KeyScript& script);

} // namespace quill::test
