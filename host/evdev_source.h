// A Linux input device as a source of the host's event loop: a scanner (or keyboard) attached to
// the machine (or a pipe of its events), read through the platform's input device
// (input_device.h), its key codes fed through the keyboard bridge as Linux key codes, each event
// at its place in the device's order. Open takes what the input device takes and fails with its
// message.
//
// A key code that no key of the US keyboard has is skipped, with one message per code. When the
// device goes (unplugged), the pipe ends or its records are no input events (a time no clock
// gives), OnReadable reports it and the source ends; the host goes on. On the host's UI thread.
#pragma once

#include "host/event_loop.h"
#include "host/input_event_decoder.h"
#include "platform/user/input_device.h"

#include <functional>
#include <set>
#include <string>

namespace quill::host {

class TEvdevSource final : public IInputSource {
  public:
    using TReport = std::function<void(const std::string& line)>;

    explicit TEvdevSource(TReport report) : FReport(std::move(report)) {}
    TEvdevSource(const TEvdevSource&) = delete;
    TEvdevSource& operator=(const TEvdevSource&) = delete;

    bool Open(const std::string& path, bool grab, std::string& error);
    // The device's name, or the path of a pipe.
    const std::string& Name() const { return FDevice.Name(); }

    kernel::HANDLE WaitHandle() const override { return FDevice.WaitHandle(); }
    bool OnReadable(user::TKeyboardBridge& bridge) override;

  private:
    // Reports why the decoder refused the stream; false, as the source ends.
    bool Refused();
    void Feed(user::TKeyboardBridge& bridge, const TKeyEvent& key);

    TReport FReport;
    std::string FPath;
    user::TInputDevice FDevice;
    TInputEventDecoder FDecoder;
    std::set<std::uint16_t> FUnknownReported;
};

} // namespace quill::host
