#include "host/device_views.h"

#include "platform/com/guid.h"
#include "platform/kernel/codepage.h"

#include <string>

namespace quill::host {

using com::OleVariant;

namespace {

int Number(const std::string& text) {
    try {
        return std::stoi(text);
    } catch (...) {
        return 0;
    }
}

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The identifier (GUID text) of each device, in index order, from the settings of all devices:
// the GUIDs there are the devices' own and their model's.
std::vector<std::string> DeviceGuids(TQuillSession& session) {
    const auto all =
        session.Call(u"GetSettingsXML", TCallKind::Method, {OleVariant(u"all"), OleVariant()});
    std::vector<std::string> guids;
    if (all.Failed || all.Args.size() < 2) return guids;
    const std::string xml = DisplayText(all.Args[1]);
    const std::string model = Upper(kernel::WideToUtf8(com::StringFromCLSID(ScannerModelGuid)));
    for (std::size_t at = xml.find("\"{"); at != std::string::npos; at = xml.find("\"{", at)) {
        const std::size_t end = xml.find('}', at);
        if (end == std::string::npos) break;
        std::string guid = xml.substr(at + 1, end - at);
        if (Upper(guid) != model) guids.push_back(std::move(guid));
        at = end;
    }
    return guids;
}

} // namespace

std::vector<TDeviceView> ReadDeviceViews(TQuillSession& session) {
    std::vector<TDeviceView> views;
    const auto count = session.Call(u"DevicesQuantity", TCallKind::Read);
    const int devices = count.Failed ? 0 : Number(DisplayText(count.Result));
    for (int n = 1; n <= devices; ++n) {
        session.Call(u"ChoiceDevice", TCallKind::Method, {OleVariant(n)});
        TDeviceView view;
        view.Name = DisplayText(session.Call(u"DeviceName", TCallKind::Read).Result);
        const auto on = session.Call(u"DeviceIsOn", TCallKind::Read);
        // The driver answers a number (1 while on); a boolean is taken as well.
        const std::string state = on.Failed ? "0" : DisplayText(on.Result);
        view.On = state == "1" || state == "-1" || state == "True";
        const auto props = session.Call(u"GetProps", TCallKind::Method, {OleVariant()});
        if (!props.Failed && !props.Args.empty() && props.Args[0].vt == com::VT_DISPATCH) {
            if (auto table = com::ComPtr<ISafeArray>::QueryFrom(props.Args[0].pdispVal)) {
                std::int32_t rows = 0, columns = 0;
                table->GetBounds(&rows, &columns);
                for (std::int32_t row = 0; row < rows && columns > 4; ++row) {
                    OleVariant name, value;
                    table->GetValue(row, 0, &name);
                    table->GetValue(row, 4, &value);
                    const std::string key = DisplayText(name);
                    if (key == "HookPref") view.Prefix = DisplayText(value);
                    if (key == "HookPost") view.Suffix = DisplayText(value);
                    if (key == "HookTimeOut") view.TimeoutMs = Number(DisplayText(value));
                }
            }
        }
        views.push_back(std::move(view));
    }
    return views;
}

int OpenDeviceSettings(TQuillSession& session, std::size_t index) {
    const std::vector<std::string> guids = DeviceGuids(session);
    if (index >= guids.size()) return -1;
    const auto settings =
        session.Call(u"GetSettingsXML", TCallKind::Method,
                     {OleVariant(kernel::Utf8ToWide(guids[index])), OleVariant()});
    if (settings.Failed || settings.Args.size() < 2) return -1;
    IDeviceItem* device = session.FindDevice(settings.Args[1]);
    if (!device) return -1;
    std::int32_t result = -1;
    const HRESULT hr = device->Setup(&result);
    device->Release();
    return com::FAILED(hr) ? -1 : result;
}

} // namespace quill::host
