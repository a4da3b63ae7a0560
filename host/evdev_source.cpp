#include "host/evdev_source.h"

namespace quill::host {

bool TEvdevSource::Open(const std::string& path, bool grab, std::string& error) {
    FPath = path;
    return FDevice.Open(path, grab, error);
}

bool TEvdevSource::Refused() {
    FReport("evdev: " + Name() + ": " + FDecoder.Error());
    return false;
}

void TEvdevSource::Feed(user::TKeyboardBridge& bridge, const TKeyEvent& key) {
    user::TToolkitKeyEvent event;
    event.Kind = user::TKeyCodeKind::LinuxKeyCode;
    event.Code = key.Code;
    event.Down = key.Value != 0; // an auto-repeat is another press
    event.TimeMs = key.TimeUs > 0 ? static_cast<std::uint64_t>(key.TimeUs / 1000) : 0;
    if (bridge.KeyEvent(event)) return;
    if (FUnknownReported.insert(key.Code).second)
        FReport("evdev: " + Name() + ": key code " + std::to_string(key.Code) +
                " is no key of the US keyboard; skipped");
}

bool TEvdevSource::OnReadable(user::TKeyboardBridge& bridge) {
    std::string records, why;
    const user::TInputRead read = FDevice.Read(records, why);
    std::vector<TKeyEvent> keys;
    bool open = read == user::TInputRead::More;
    // The keys before a record that is no input event still count; nothing after it does.
    if (!FDecoder.DecodeBytes(records.data(), records.size(), keys))
        open = Refused();
    else if (read == user::TInputRead::Ended)
        FReport("evdev: " + Name() + " ended" +
                (FDecoder.PendingBytes() ? " in the middle of an event" : std::string()));
    else if (read == user::TInputRead::Gone)
        FReport("evdev: " + FPath + " (\"" + Name() + "\") is gone (" + why + "); its input ends");
    for (const TKeyEvent& key : keys)
        Feed(bridge, key);
    return open;
}

} // namespace quill::host
