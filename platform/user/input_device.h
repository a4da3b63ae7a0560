// An input device for a host on Linux: a scanner (or keyboard) attached to the machine, read
// through its device node, or a pipe carrying its events. The host gets the kernel's input event
// records (struct input_event of <linux/input.h>) and never touches the device itself.
//
// Open takes a device node (/dev/input/event*, /dev/input/by-id/...) or, for events that come
// through a pipe, a FIFO or "-" (standard input) carrying kernel-format input events. A device
// node is read with libevdev: its name, the exclusive grab (with it, the desktop no longer sees
// the device's keys), its timestamps on the monotonic clock as the run-time's time is, and the
// resynchronisation after the kernel dropped events (the keys pressed and released in the gap
// come as ordinary records). Open fails with a message that says what to do: the node does not
// exist, cannot be opened (the group to join), is no input device or no keyboard, or is grabbed
// already.
//
// WaitHandle is for MsgWaitForMultipleObjects (message_queue.h): it is signalled when records,
// the end or an error are there; the device owns it, and it goes with the device. Read then
// appends what is ready to `records` without waiting: whole records from a device, the bytes as
// they came from a pipe (a record may be cut in two, its rest follows). It reports More while
// the input goes on; Ended when a pipe has ended (or failed); Gone, with the system's reason in
// `why`, when the device went (unplugged). The grab is let go when the device is destroyed.
//
// Open once per object. One thread at a time per device.
#pragma once

#include "platform/kernel/named_mutex.h"

#include <cstdint>
#include <string>

struct libevdev;

namespace quill::user {

enum class TInputRead : std::uint8_t { More, Ended, Gone };

class TInputDevice {
  public:
    TInputDevice() = default;
    ~TInputDevice();
    TInputDevice(const TInputDevice&) = delete;
    TInputDevice& operator=(const TInputDevice&) = delete;

    bool Open(const std::string& path, bool grab, std::string& error);
    // The device's name, "standard input", or the path of a pipe.
    const std::string& Name() const { return FName; }
    kernel::HANDLE WaitHandle() const { return FWait; }
    TInputRead Read(std::string& records, std::string& why);

  private:
    TInputRead ReadDevice(std::string& records, std::string& why);
    TInputRead ReadPipe(std::string& records);
    bool OpenDevice(const std::string& path, bool grab, std::string& error);

    std::string FName;
    int FFd = -1;
    bool FOwnsFd = false;
    kernel::HANDLE FWait = nullptr;
    libevdev* FDevice = nullptr;
};

} // namespace quill::user
