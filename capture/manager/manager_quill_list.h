// TManagerQuillList: the scanner driver's device list, which owns the keyboard capture.
//
// Besides the devices, it registers the keyboard-scanner model with its five parameters
// ("HookPref", "HookPost", "HookTimeOut", "UseInterCharInterval", "MinDataLen"), and owns the
// capture: the framing state machine, the time-out timer (a window timer of the creating thread)
// and the thread keyboard hook. While a device is switched on, the hook sees every key-down that
// the host's user-interface thread retrieves; a completed scan is raised through the device's
// event sink as the external event ("Сканер", device identifier, data); held keys that no device
// claims are typed again with SendInput. Replayed keystrokes carry no scan code (IsReplayedKey)
// and pass the hook unexamined, so every typed key reaches the application exactly once or belongs
// to exactly one scan.
//
// The hook procedure has no context argument: it reaches the list through the accessor installed
// with SetScannerListAccessor (the scanner driver installs one that returns the list of the one
// driver object; tests install their own).
//
// The hook procedure, the examination of keys and the replay: keyboard_capture.h.
//
// Threads: the list is made and configured on the host's thread that calls the driver; the hook,
// the framing and the time-out timer run on the thread the event sink names for the hook, which
// is usually the same user-interface thread. A host may call the driver from other threads: the
// hook procedure and the time-out handler take the list's lock (devices_list.h), as every entry
// from a host does, so the framing state and the devices are never used by two threads at once.
// Destroying the list while its time-out handler runs (the host re-entering through the event
// call) is safe: the handler stops touching the list.
#pragma once

#include "capture/framing/scan_framer.h"
#include "capture/manager/keyboard_capture.h"
#include "capture/manager/manager_quill.h"
#include "platform/ui/form_backend.h"
#include "platform/user/alt_code.h"
#include "platform/user/keyboard_hook.h"
#include "platform/user/to_ascii.h"
#include "registry/list/devices_list.h"

#include <cstdint>
#include <memory>

namespace quill::capture {

class TManagerQuillList : public registry::TDevicesList,
                          private IFramingDevices,
                          private IFramingOutput {
  public:
    // `forms`: the backend that shows the devices' settings dialogs (borrowed; null: the current
    // one when a dialog is shown).
    explicit TManagerQuillList(rtl::TCollectionItemClass itemClass,
                               ui::TFormBackend* forms = nullptr);
    ~TManagerQuillList() override;
    std::string_view ClassName() const override { return "TManagerQuillList"; }

    // Codes 0 to 7 have the driver's own texts; others come from the common table.
    std::string GetErrorText(std::int32_t code) const override;
    void AllDevicesReleased() override { RemoveHook(); }
    std::string DriverIdentifier() const override { return "Addin.Quill"; }

    void InstallHook();
    void RemoveHook();
    void OnTimeout();
    static user::LRESULT CALLBACK KeyboardHookProc(int code, user::WPARAM key, user::LPARAM flags);

    bool FCapturing() const { return FFramer.Capturing(); }
    // 1 while the time-out handler runs (the timer's busy tag), else 0.
    int TimeoutTag() const { return FFramer.TimeoutRunning() ? 1 : 0; }
    const std::string& FBuffer() const { return FFramer.Buffer(); }
    const std::vector<std::string>& FHeldKeys() const { return FFramer.HeldLines(); }
    // The installed keyboard hook, nil while none is installed (InstallHook and RemoveHook).
    user::HHOOK HookHandle() const { return FHookHandle; }
    bool TimerRunning() const { return FTimerRunning; }
    TManagerQuill* Scanner(int index) const { return static_cast<TManagerQuill*>(GetItem(index)); }
    ui::TFormBackend* Forms() const { return FForms; }

  private:
    // IFramingDevices
    int DeviceCount() const override { return Count(); }
    const IFramingDevice& DeviceAt(int index) const override { return *Scanner(index); }
    // IFramingOutput
    void StopTimer() override;
    bool StartTimer(std::int32_t intervalMs) override;
    bool RaiseScan(int deviceIndex, const std::string& data) override;
    void ReplayKeys(const std::vector<HeldKey>& keys) override;

    KeyDecision Examine(user::WPARAM key, user::LPARAM flags);
    KeyDecision ExamineKeyDown(std::uint16_t key, std::uint32_t flags,
                               const TKeyboardSnapshot& keyboard, KeyDown& down);
    // The release of Alt completed the Alt code `digits`: its character is one key of the framing.
    void ExamineAltCode(const std::string& digits, KeyDown down);
    // A key message passed the hook on its way to the application (typed or replayed).
    void NoteKeyReachingApplication(user::WPARAM key, user::LPARAM flags);
    // The timer window of the calling thread, made when the hook first runs on a thread other
    // than the list's; nil when none can be made.
    user::HWND TimerWindowOfThisThread();
    static user::LRESULT CALLBACK TimerWindowProc(user::HWND hwnd, user::UINT message,
                                                  user::WPARAM wParam, user::LPARAM lParam);

    TScanFramer FFramer;
    ui::TFormBackend* FForms;
    user::HHOOK FHookHandle = nullptr;
    // The Alt code the user is typing, and whether its Alt is the right-hand key.
    user::TAltCodeEntry FAltCode;
    bool FAltCodeRightAlt = false;
    // Since Alt last went down: whether a key-down was held back, and whether one reached the
    // application. A release of Alt after held keys only would be a lone Alt tap to it.
    struct TAltTap {
        bool KeyHeld = false;
        bool KeyReachedApplication = false;
    } FAltTap;
    // The time-out timer runs on the thread the hook runs on: the list's own window serves its
    // creating thread, FHookTimerWindow a hook thread of another.
    user::HWND FTimerWindow = nullptr;
    user::HWND FHookTimerWindow = nullptr;
    std::uint32_t FHookTimerThread = 0;
    user::HWND FRunningTimerWindow = nullptr;
    bool FTimerRunning = false;
    std::uint32_t FThread = 0;
    // Shared with a running time-out handler, which stops when the list is destroyed under it.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// The list the hook procedure works on.
using ScannerListAccessor = TManagerQuillList* (*)();
void SetScannerListAccessor(ScannerListAccessor accessor);
TManagerQuillList* ScannerList();

// The conversion layout of the capture (US English), loaded when a scanner list is created.
user::HKL ConversionLayout();

// Removes the class of the lists' timer windows, registered once by the first list. Its window
// procedure lives in this library, and the class outlives the library in the run-time: a copy
// loaded again would make its windows with the procedure of the copy that went, at an address
// that is no code any more. Called as the library unloads, after its last list has gone.
void UnregisterTimerWindowClass();

} // namespace quill::capture
