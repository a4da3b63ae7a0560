// What a key script needs to run against a real scanner list, on either system: the host's event
// sink that records the scans, the application's side of the keys (the characters it receives
// and the lone Alt taps it sees), and a script target over the list that applies the script's
// device settings and reports the scans by device index. The ways keys are entered and time
// passes are the runner's own: the virtual clock and the emulated input path on Linux
// (capture_harness.h), the real clock and the system's input under Wine
// (win32/key_script_runner.h).
//
// Threads: everything here runs on the thread that plays the host's user-interface thread, which
// is also where the hook runs and the application's messages are retrieved.
#pragma once

#include "capture/key_script.h"
#include "capture/manager/manager_quill_list.h"
#include "platform/user/message_queue.h"
#include "quill/host.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quill::test {

// The host's event sink: records every external event; names the hook thread it is given.
class TRecordingSink final : public TEventSupportBase {
  public:
    struct Event {
        std::u16string Source, Name, Data;
        com::GUID Device;
    };
    std::vector<Event> Events;
    std::function<void()> OnEvent; // runs inside the event call
    std::uint32_t HookThread = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(com::REFIID iid, void** object) override;
    com::ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    com::ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR source, BSTR event, BSTR data,
                                            GUID* device) override;
    HRESULT STDMETHODCALLTYPE CreateValueArray(IDispatch** array) override;
    HRESULT STDMETHODCALLTYPE GetHookThreadId(std::uint32_t* threadId) override;
};

// The application's side: fed every message the application's thread retrieves (after
// TranslateMessage, which turns key-downs into WM_CHAR), it keeps what the application received.
class TApplicationKeys {
  public:
    void NoteMessage(const user::MSG& msg);

    std::string App;                           // the characters the application received
    std::vector<std::uint8_t> AppKeyDowns;     // every key-down message the application received
    std::vector<user::LPARAM> AppKeyDownFlags; // and the keystroke flags of each
    int LoneAltTaps = 0; // Alt pressed and released with no other key-down between

  private:
    bool FAltTapOpen = false; // Alt went down and no other key since
};

// A scanner list as the scanner driver makes it (the keyboard-scanner model, `sink` as its event
// sink), which the hook procedure reaches until ServeScannerList(nullptr). `forms`: the backend of
// the devices' settings dialogs (null: the current one).
std::unique_ptr<capture::TManagerQuillList> MakeScannerList(TRecordingSink& sink,
                                                            ui::TFormBackend* forms = nullptr);
// Makes `list` the one the hook procedure works on (nil: none).
void ServeScannerList(capture::TManagerQuillList* list);
// The scans `sink` recorded, as (index of the device in `list`, data in the 8-bit code page);
// -1 for a device the list does not hold.
std::vector<std::pair<int, std::string>> ScansOf(const TRecordingSink& sink,
                                                 const capture::TManagerQuillList* list);

// A key script's target over a real scanner list: devices, their settings and the results. The
// runner supplies the list, the sink and the application, and enters keys and lets time pass.
//
// `timeScale` multiplies every time-out the devices get (the defaults and the script's own), for
// a runner whose time passes `timeScale` times slower than the script's; time-outs that are no
// integer stay as they are.
class TScannerListScript : public IKeyScriptTarget {
  public:
    void AddDevice(const ScriptDeviceSettings& settings) override;
    void SetDevice(int index, const ScriptDeviceSettings& settings) override;
    std::vector<std::pair<int, std::string>> RaisedScans() const override;
    std::string ApplicationText() const override { return Application().App; }
    std::optional<int> LoneAltTaps() const override { return Application().LoneAltTaps; }

  protected:
    explicit TScannerListScript(int timeScale = 1) : FTimeScale(timeScale) {}
    ~TScannerListScript() = default;
    virtual capture::TManagerQuillList& List() const = 0;
    virtual const TRecordingSink& Sink() const = 0;
    virtual const TApplicationKeys& Application() const = 0;

  private:
    void Apply(capture::TManagerQuill& device, const ScriptDeviceSettings& settings) const;
    std::string Scaled(const std::string& timeOut) const;
    int FTimeScale;
};

} // namespace quill::test
