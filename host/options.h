// The reference host's command line.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quill::host {

struct TMemberCall {
    std::string Name;
    std::vector<std::string> Args;
};

struct THostOptions {
    // Empty: the installed plug-in, else the one beside the program (module_location.h).
    std::string PluginPath;
    std::string SettingsFile;
    // Device parameters given on the command line (name, value), in the order given.
    std::vector<std::pair<std::string, std::string>> DeviceParams;
    bool Dialog = false;
    bool HasKeys = false;
    std::string Keys;
    unsigned IntervalMs = 20;
    unsigned SettleMs = 1500;
    // A recording of a keyboard device to replay on the virtual clock instead of reading keys.
    std::string ReplayFile;
    std::vector<TMemberCall> Calls;
    bool Capture = false;
    bool Gui = false;
    // Input devices to read (--evdev, in the order given) and whether to grab them.
    std::vector<std::string> EvdevDevices;
    bool Grab = false;
    bool Help = false;
    bool Version = false;
};

// Parses argv; false with `error` set for an unknown option or a missing or malformed value.
bool ParseOptions(int argc, char** argv, THostOptions& options, std::string& error);

extern const char* const HelpText;

} // namespace quill::host
