#include "host/options.h"

#include <charconv>
#include <cstring>

namespace quill::host {

const char* const HelpText =
    "usage: quill-host [options]\n"
    "\n"
    "Loads Quill.plu, hands it this host's event sink, creates a scanner device (or loads devices\n"
    "from a settings file), switches the devices on and feeds keystrokes from the terminal.\n"
    "Type a scan as a keyboard-wedge scanner does: the prefix, the data and the suffix in quick\n"
    "succession (default prefix and suffix \"+++\", so \"+++12345+++\"); the host prints\n"
    "\"event: source=... name=... data=...\" for each scan and echoes after \"typed: \" every "
    "other\n"
    "key that reached the application.\n"
    "\n"
    "  --plugin PATH        the plug-in to load (default: the installed Quill.plu, else the one\n"
    "                       beside quill-host)\n"
    "  --settings FILE      load the devices from a settings XML file (SettingDevices)\n"
    "  --prefix TEXT        prefix of the new device (HookPref)\n"
    "  --suffix TEXT        suffix of the new device (HookPost)\n"
    "  --timeout MS         time-out for the next key of a scan (HookTimeOut)\n"
    "  --interchar 0|1      recognise scans by the pause after fast keys (UseInterCharInterval)\n"
    "  --minlen N           minimum data length in inter-character mode (MinDataLen)\n"
    "  --dialog             open the settings dialog for the new device before switching it on\n"
    "  --keys TEXT          type TEXT instead of reading the terminal, then quit\n"
    "  --interval MS        pause between the keys of --keys (default 20)\n"
    "  --settle MS          wait after the last key of --keys or --replay before quitting\n"
    "                       (default 1500)\n"
    "  --replay FILE        replay a recording of a keyboard device (evtest or evemu-record\n"
    "                       text) at its recorded times on a virtual clock, then quit; each\n"
    "                       line of output starts with its time in the recording\n"
    "  --call NAME [ARGS]   call a method or property by name (a property with no argument is\n"
    "                       read, with one written); ARGS run to the next option; repeatable.\n"
    "                       With --call the host quits after the calls unless --capture is given\n"
    "  --capture            read the terminal after the calls\n"
    "  --gui                a window instead of the terminal: an input field that gets what the\n"
    "                       application is meant to get, the scans and the devices (needs a\n"
    "                       display); events and typed text still print here\n"
    "  --evdev DEVICE       read the keys of an input device (/dev/input/by-id/...-event-kbd)\n"
    "                       as they come, with the kernel's timestamps; repeatable. \"-\" or a\n"
    "                       named pipe: kernel-format input events arriving there\n"
    "  --grab               take the --evdev devices for this host alone (the desktop no longer\n"
    "                       sees their keys)\n"
    "  --version            the version of the plug-in (its version block) and where it is\n"
    "  --help               this text\n"
    "\n"
    "Quit with Ctrl+C, or Escape pressed twice.\n";

namespace {

bool ParseUnsigned(const char* text, unsigned& value) {
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && ptr != text;
}

} // namespace

bool ParseOptions(int argc, char** argv, THostOptions& options, std::string& error) {
    const auto value = [&](int& i, const char* name) -> const char* {
        if (i + 1 >= argc) {
            error = std::string(name) + " needs a value";
            return nullptr;
        }
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* v = nullptr;
        if (arg == "--help" || arg == "-h") {
            options.Help = true;
        } else if (arg == "--version") {
            options.Version = true;
        } else if (arg == "--plugin") {
            if (!(v = value(i, "--plugin"))) return false;
            options.PluginPath = v;
        } else if (arg == "--settings") {
            if (!(v = value(i, "--settings"))) return false;
            options.SettingsFile = v;
        } else if (arg == "--prefix" || arg == "--suffix" || arg == "--timeout" ||
                   arg == "--interchar" || arg == "--minlen") {
            if (!(v = value(i, arg.c_str()))) return false;
            unsigned number = 0;
            if (arg != "--prefix" && arg != "--suffix" && !ParseUnsigned(v, number)) {
                error = arg + " needs a number, not \"" + v + "\"";
                return false;
            }
            if (arg == "--interchar" && number > 1) {
                error = "--interchar is 0 or 1";
                return false;
            }
            static const std::pair<const char*, const char*> names[] = {
                {"--prefix", "HookPref"},
                {"--suffix", "HookPost"},
                {"--timeout", "HookTimeOut"},
                {"--interchar", "UseInterCharInterval"},
                {"--minlen", "MinDataLen"}};
            for (const auto& [option, parameter] : names)
                if (arg == option) options.DeviceParams.emplace_back(parameter, v);
        } else if (arg == "--dialog") {
            options.Dialog = true;
        } else if (arg == "--keys") {
            if (!(v = value(i, "--keys"))) return false;
            options.HasKeys = true;
            options.Keys = v;
        } else if (arg == "--replay") {
            if (!(v = value(i, "--replay"))) return false;
            options.ReplayFile = v;
        } else if (arg == "--interval" || arg == "--settle") {
            if (!(v = value(i, arg.c_str()))) return false;
            unsigned& target = arg == "--interval" ? options.IntervalMs : options.SettleMs;
            if (!ParseUnsigned(v, target)) {
                error = arg + " needs a number of milliseconds, not \"" + v + "\"";
                return false;
            }
        } else if (arg == "--call") {
            if (!(v = value(i, "--call"))) return false;
            TMemberCall call{v, {}};
            while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0)
                call.Args.emplace_back(argv[++i]);
            options.Calls.push_back(std::move(call));
        } else if (arg == "--capture") {
            options.Capture = true;
        } else if (arg == "--gui") {
            options.Gui = true;
        } else if (arg == "--evdev") {
            if (!(v = value(i, "--evdev"))) return false;
            options.EvdevDevices.emplace_back(v);
        } else if (arg == "--grab") {
            options.Grab = true;
        } else {
            error = "unknown option \"" + arg + "\" (see --help)";
            return false;
        }
    }
    return true;
}

} // namespace quill::host
