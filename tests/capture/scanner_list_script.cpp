#include "capture/scanner_list_script.h"

#include "exchange/valuearray/value_array_class.h"
#include "platform/kernel/codepage.h"
#include "platform/user/virtual_keys.h"

namespace quill::test {

using namespace com;

HRESULT STDMETHODCALLTYPE TRecordingSink::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IUnknown::Guid || iid == IEventSupport::Guid || iid == IEventSupport2::Guid) {
        *object = static_cast<IEventSupport2*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE TRecordingSink::ExternalEvent(BSTR source, BSTR event, BSTR data,
                                                        GUID* device) {
    Events.push_back({TextFromBStr(source), TextFromBStr(event), TextFromBStr(data),
                      device ? *device : GUID_NULL});
    if (OnEvent) OnEvent();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TRecordingSink::CreateValueArray(IDispatch** array) {
    *array = static_cast<IDispatch*>(exchange::CreateValueArray().Detach());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TRecordingSink::GetHookThreadId(std::uint32_t* threadId) {
    *threadId = HookThread;
    return S_OK;
}

void TApplicationKeys::NoteMessage(const user::MSG& msg) {
    if (msg.message == user::WM_CHAR) App.push_back(static_cast<char>(msg.wParam));
    if (msg.message == user::WM_KEYDOWN || msg.message == user::WM_SYSKEYDOWN) {
        AppKeyDowns.push_back(static_cast<std::uint8_t>(msg.wParam));
        AppKeyDownFlags.push_back(msg.lParam);
        // An auto-repeated Alt neither opens nor closes a tap; any other key closes it.
        const bool repeat = (static_cast<std::uint32_t>(msg.lParam) >> 30) & 1;
        if (msg.wParam != user::VK_MENU)
            FAltTapOpen = false;
        else if (!repeat)
            FAltTapOpen = true;
    }
    if ((msg.message == user::WM_KEYUP || msg.message == user::WM_SYSKEYUP) &&
        msg.wParam == user::VK_MENU) {
        if (FAltTapOpen) ++LoneAltTaps;
        FAltTapOpen = false;
    }
}

namespace {
capture::TManagerQuillList* gServed = nullptr;
capture::TManagerQuillList* ServedList() {
    return gServed;
}
} // namespace

std::unique_ptr<capture::TManagerQuillList> MakeScannerList(TRecordingSink& sink,
                                                            ui::TFormBackend* forms) {
    auto list = std::make_unique<capture::TManagerQuillList>(
        rtl::ItemClassOf<capture::TManagerQuill>, forms);
    list->EventSink = ComPtr<IEventSupport2>(&sink);
    return list;
}

void ServeScannerList(capture::TManagerQuillList* list) {
    gServed = list;
    capture::SetScannerListAccessor(list ? &ServedList : nullptr);
}

std::vector<std::pair<int, std::string>> ScansOf(const TRecordingSink& sink,
                                                 const capture::TManagerQuillList* list) {
    std::vector<std::pair<int, std::string>> scans;
    for (const auto& e : sink.Events) {
        const registry::TDeviceItem* device = list ? list->FindByGuid(e.Device) : nullptr;
        scans.emplace_back(device ? device->Index() : -1, kernel::WideToAnsi(e.Data));
    }
    return scans;
}

void TScannerListScript::AddDevice(const ScriptDeviceSettings& settings) {
    auto& device = *static_cast<capture::TManagerQuill*>(List().Add());
    if (FTimeScale != 1 && !settings.TimeOut)
        device.SetParamStr("HookTimeOut", Scaled(device.GetParamStr("HookTimeOut")));
    Apply(device, settings);
}

void TScannerListScript::SetDevice(int index, const ScriptDeviceSettings& settings) {
    Apply(*List().Scanner(index), settings);
}

std::vector<std::pair<int, std::string>> TScannerListScript::RaisedScans() const {
    return ScansOf(Sink(), &List());
}

// Settings are parameters of the device; the mode is taken when it is switched on, so a device
// whose settings change is switched off and on again.
void TScannerListScript::Apply(capture::TManagerQuill& d,
                               const ScriptDeviceSettings& settings) const {
    if (settings.Pref) d.SetParamStr("HookPref", *settings.Pref);
    if (settings.Post) d.SetParamStr("HookPost", *settings.Post);
    if (settings.TimeOut) d.SetParamStr("HookTimeOut", Scaled(*settings.TimeOut));
    if (settings.InterChar) d.SetParamStr("UseInterCharInterval", *settings.InterChar);
    if (settings.MinLen) d.SetParamStr("MinDataLen", *settings.MinLen);
    const int state = settings.On ? (*settings.On ? 1 : 0) : d.GetState();
    d.SetState(0);
    d.SetState(state);
}

std::string TScannerListScript::Scaled(const std::string& timeOut) const {
    // No integer (or none this small): the device's own failure, which the script is about.
    const std::size_t digits = timeOut.rfind('-', 0) == 0 ? 1 : 0;
    if (FTimeScale == 1 || timeOut.size() <= digits || timeOut.size() > digits + 6 ||
        timeOut.find_first_not_of("0123456789", digits) != std::string::npos)
        return timeOut;
    return std::to_string(std::stol(timeOut) * FTimeScale);
}

} // namespace quill::test
