// A Linux input device as a source of the host's event loop: a scanner (or keyboard) attached to
// the machine, read through its device node with libevdev, its key codes fed through the keyboard
// bridge as Linux key codes, each event at its place in the device's order.
//
// Open takes a device node (/dev/input/event*, /dev/input/by-id/...) or, for events that come
// through a pipe, a FIFO or "-" (standard input) carrying kernel-format input events. A device
// node is read with libevdev: its name, the exclusive grab (with it, the desktop no longer sees
// the device's keys), its timestamps on the monotonic clock, and the resynchronisation after the
// kernel dropped events. Open fails with a message that says what to do: the node does not exist,
// cannot be opened (the group to join), is no input device or no keyboard, or is grabbed already.
//
// A key code that no key of the US keyboard has is skipped, with one message per code. When the
// device goes (unplugged), the pipe ends or its records are no input events (a time no clock
// gives), OnReadable reports it and the source ends; the host goes on. On the host's UI thread.
#pragma once

#include "host/event_loop.h"
#include "host/input_event_decoder.h"

#include <functional>
#include <set>
#include <string>

struct libevdev;

namespace quill::host {

class TEvdevSource final : public IInputSource {
  public:
    using TReport = std::function<void(const std::string& line)>;

    explicit TEvdevSource(TReport report) : FReport(std::move(report)) {}
    ~TEvdevSource();
    TEvdevSource(const TEvdevSource&) = delete;
    TEvdevSource& operator=(const TEvdevSource&) = delete;

    bool Open(const std::string& path, bool grab, std::string& error);
    // The device's name, or the path of a pipe.
    const std::string& Name() const { return FName; }

    int Descriptor() const override { return FFd; }
    bool OnReadable(user::TKeyboardBridge& bridge) override;

  private:
    bool ReadDevice(std::vector<TKeyEvent>& keys);
    bool ReadPipe(std::vector<TKeyEvent>& keys);
    // Reports why the decoder refused the stream; false, as the source ends.
    bool Refused();
    void Feed(user::TKeyboardBridge& bridge, const TKeyEvent& key);

    TReport FReport;
    std::string FPath;
    std::string FName;
    int FFd = -1;
    bool FOwnsFd = false;
    libevdev* FDevice = nullptr;
    TInputEventDecoder FDecoder;
    std::set<std::uint16_t> FUnknownReported;
};

} // namespace quill::host
