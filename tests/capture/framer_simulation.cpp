#include "capture/framer_simulation.h"

#include "platform/rtl/convert.h"
#include "platform/user/us_layout.h"

#include <stdexcept>

namespace quill::test {

std::int32_t SimDevice::HookTimeOut() const {
    return rtl::StrToInt(TimeOut);
}

void FramerSimulation::TypeChar(char c) {
    const auto stroke = user::CharToKey(c);
    if (!stroke) throw std::runtime_error(std::string("no key types ") + c);
    capture::KeyDown key{stroke->Key, c, stroke->Shift, stroke->Control, false};
    if (Framer.OnKeyDown(key) == capture::KeyDecision::Pass) App.push_back(c);
}

void FramerSimulation::PressKey(std::uint8_t key, char c) {
    capture::KeyDown down{key, c, false, false, false};
    if (Framer.OnKeyDown(down) == capture::KeyDecision::Pass) App.push_back(c);
}

void FramerSimulation::Advance(std::int64_t ms) {
    const std::int64_t target = Now + ms;
    while (FDue && *FDue <= target) {
        Now = *FDue;
        FDue = Now + FInterval; // a window timer repeats until it is stopped
        Framer.OnTimeout();
    }
    Now = target;
}

bool FramerSimulation::StartTimer(std::int32_t interval) {
    FDue.reset();
    if (interval <= 0) return false;
    FInterval = interval;
    FDue = Now + interval;
    return true;
}

void FramerSimulation::ReplayKeys(const std::vector<capture::HeldKey>& keys) {
    // Replayed keys carry their marker and pass the hook unexamined.
    for (const auto& k : keys)
        App.push_back(user::KeyToChar(static_cast<std::uint8_t>(k.Key), k.Shift, false, k.Control));
}

namespace {

void Apply(SimDevice& d, const ScriptDeviceSettings& settings) {
    if (settings.On) d.On = *settings.On;
    if (settings.Pref) d.Pref = *settings.Pref;
    if (settings.Post) d.Post = *settings.Post;
    if (settings.TimeOut) d.TimeOut = *settings.TimeOut;
    if (settings.InterChar) d.InterChar = *settings.InterChar == "1";
    if (settings.MinLen) d.MinLen = static_cast<std::uint8_t>(std::stoi(*settings.MinLen) & 0xFF);
}

class TSimulationTarget final : public IKeyScriptTarget {
  public:
    void AddDevice(const ScriptDeviceSettings& settings) override {
        FSim.Devices.emplace_back();
        Apply(FSim.Devices.back(), settings);
    }
    void SetDevice(int index, const ScriptDeviceSettings& settings) override {
        Apply(FSim.Devices.at(static_cast<std::size_t>(index)), settings);
    }
    void TypeChar(char c) override { FSim.TypeChar(c); }
    void PressKey(std::uint8_t key, char c) override { FSim.PressKey(key, c); }
    void Advance(std::int64_t ms) override { FSim.Advance(ms); }
    std::vector<std::pair<int, std::string>> RaisedScans() const override { return FSim.Scans; }
    std::string ApplicationText() const override { return FSim.App; }

  private:
    FramerSimulation FSim;
};

} // namespace

std::string RunFramerScript(const KeyScript& script) {
    TSimulationTarget target;
    return RunKeyScript(script, target);
}

} // namespace quill::test
