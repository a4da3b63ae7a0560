#include "capture/framer_simulation.h"

#include "platform/rtl/convert.h"
#include "platform/user/us_layout.h"

#include <map>
#include <sstream>
#include <stdexcept>

namespace quill::test {

std::int32_t SimDevice::HookTimeOut() const { return rtl::StrToInt(TimeOut); }

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

void FramerSimulation::StartTimer(std::int32_t interval) {
    FDue.reset();
    if (interval <= 0) return;
    FInterval = interval;
    FDue = Now + interval;
}

void FramerSimulation::ReplayKeys(const std::vector<capture::HeldKey>& keys) {
    // Replayed keys carry their marker and pass the hook unexamined.
    for (const auto& k : keys)
        App.push_back(user::KeyToChar(static_cast<std::uint8_t>(k.Key), k.Shift, false, k.Control));
}

namespace {

void ApplySetting(SimDevice& d, const std::string& word) {
    const auto eq = word.find('=');
    if (word == "on") { d.On = true; return; }
    if (word == "off") { d.On = false; return; }
    if (eq == std::string::npos) throw std::runtime_error("bad setting " + word);
    const std::string key = word.substr(0, eq), value = word.substr(eq + 1);
    if (key == "pref") d.Pref = value;
    else if (key == "post") d.Post = value;
    else if (key == "timeout") d.TimeOut = value;
    else if (key == "interchar") d.InterChar = value == "1";
    else if (key == "minlen") d.MinLen = static_cast<std::uint8_t>(std::stoi(value) & 0xFF);
    else throw std::runtime_error("unknown setting " + key);
}

const std::map<std::string, std::pair<std::uint8_t, char>> kNamedKeys = {
    {"LEFT", {user::VK_LEFT, 0}}, {"RIGHT", {user::VK_RIGHT, 0}}, {"F1", {user::VK_F1, 0}},
    {"ENTER", {user::VK_RETURN, '\r'}}, {"TAB", {user::VK_TAB, '\t'}},
};

std::string Visible(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (static_cast<unsigned char>(c) < 32) out += "\\x" + std::to_string(c);
        else out.push_back(c);
    }
    return out;
}

} // namespace

std::string RunFramerScript(const KeyScript& script) {
    FramerSimulation sim;
    std::vector<std::pair<int, std::string>> expectedScans;
    std::optional<std::string> expectedApp;
    for (const auto& line : script.Lines) {
        const auto& w = line.Words;
        const std::string at = script.Name + ":" + std::to_string(line.Number) + ": ";
        try {
            if (w[0] == "device") {
                sim.Devices.emplace_back();
                for (std::size_t i = 1; i < w.size(); ++i) ApplySetting(sim.Devices.back(), w[i]);
            } else if (w[0] == "set" && w.size() >= 3) {
                auto& d = sim.Devices.at(static_cast<std::size_t>(std::stoi(w[1])));
                for (std::size_t i = 2; i < w.size(); ++i) ApplySetting(d, w[i]);
            } else if (w[0] == "type" && w.size() >= 2) {
                const std::int64_t every = (w.size() == 4 && w[2] == "every") ? std::stoll(w[3]) : 0;
                for (char c : w[1]) {
                    sim.TypeChar(c);
                    sim.Advance(every);
                }
            } else if (w[0] == "key" && w.size() == 2) {
                const auto& k = kNamedKeys.at(w[1]);
                sim.PressKey(k.first, k.second);
            } else if (w[0] == "wait" && w.size() == 2) {
                sim.Advance(std::stoll(w[1]));
            } else if (w[0] == "expect" && w.size() == 4 && w[1] == "scan") {
                expectedScans.emplace_back(std::stoi(w[2]), w[3]);
            } else if (w[0] == "expect" && w.size() == 3 && w[1] == "app") {
                expectedApp = w[2];
            } else {
                return at + "unknown command";
            }
        } catch (const std::exception& e) {
            return at + e.what();
        }
    }
    std::ostringstream problems;
    if (sim.Scans != expectedScans) {
        problems << "scans were:";
        for (const auto& [d, data] : sim.Scans) problems << " [" << d << " \"" << Visible(data) << "\"]";
        problems << "; expected:";
        for (const auto& [d, data] : expectedScans) problems << " [" << d << " \"" << Visible(data) << "\"]";
        problems << "\n";
    }
    if (expectedApp && sim.App != *expectedApp)
        problems << "application got \"" << Visible(sim.App) << "\", expected \"" << Visible(*expectedApp)
                 << "\"\n";
    return problems.str();
}

} // namespace quill::test
