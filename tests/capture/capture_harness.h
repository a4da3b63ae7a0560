// A harness for the scanner capture through the real path: a scanner list with its hook on the
// test thread (which plays the host's user-interface thread and the focused application), keys
// entered with keybd_event, messages pumped as an application does (TranslateMessage turns
// key-downs into WM_CHAR, which is what the application receives), time on the virtual clock, and
// an event sink that records every scan.
#pragma once

#include "capture/manager/manager_quill_list.h"
#include "capture/key_script.h"
#include "capture/scanner_list_script.h"
#include "platform/user/clock.h"
#include "quill/host.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quill::test {

// The characters and key-downs the application received: TApplicationKeys.
class TCaptureHarness : public TApplicationKeys {
  public:
    // `forms`: the backend of the devices' settings dialogs (null: the current one).
    explicit TCaptureHarness(ui::TFormBackend* forms = nullptr);
    ~TCaptureHarness();
    TCaptureHarness(const TCaptureHarness&) = delete;
    TCaptureHarness& operator=(const TCaptureHarness&) = delete;

    // A new scanner device of the list (off, at its defaults).
    capture::TManagerQuill* AddDevice();
    // Key-down and key-up of the keys that type `c` (with Shift or Control as needed).
    void TypeChar(char c);
    void PressKey(std::uint8_t key);
    // One key event (the right-hand Control and Alt are extended), then the messages pumped.
    void Key(std::uint8_t key, bool up, bool extended = false);
    // Lets `ms` milliseconds pass, pumping messages as they come.
    void Advance(std::int64_t ms);
    void Pump();
    // Keys the user types while the next replay is entered (see key_script.h).
    void TypeDuringNextReplay(const std::string& text) { FLive += text; }
    // The scans raised so far, as (device index, data).
    std::vector<std::pair<int, std::string>> Scans() const;

    TRecordingSink Sink;
    std::unique_ptr<capture::TManagerQuillList> List;
    user::TVirtualClock& Clock() { return FClock; }

  private:
    // The key events that type `c`, not yet pumped.
    static void EnterChar(char c);
    void TypeLiveKeys();
    static user::LRESULT CALLBACK LiveKeysHook(int code, user::WPARAM key, user::LPARAM flags);

    // A virtual clock on which the live keys are typed if anything pauses meanwhile.
    class TClock final : public user::TVirtualClock {
      public:
        TClock(TCaptureHarness& owner) : user::TVirtualClock(1000), FOwner(owner) {}
        void Sleep(user::DWORD ms) override {
            FOwner.TypeLiveKeys();
            user::TVirtualClock::Sleep(ms);
        }

      private:
        TCaptureHarness& FOwner;
    };
    TClock FClock{*this};
    std::string FLive;
    user::HHOOK FLiveHook = nullptr;
    user::TClock* FPreviousClock;
};

// Runs a key script through the real capture path; empty when every expectation holds.
std::string RunCaptureScript(const KeyScript& script);

} // namespace quill::test
