#include "platform/user/input_device.h"

#include "platform/kernel/wait_handle.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <libevdev/libevdev.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill::user {

namespace {

std::string GroupOf(const struct stat& info) {
    const group* entry = ::getgrgid(info.st_gid);
    return entry ? entry->gr_name : std::to_string(info.st_gid);
}

// What to tell someone whose device could not be opened.
std::string OpenFailure(const std::string& path, int error) {
    if (error == ENOENT || error == ENODEV || error == ENXIO)
        return path + ": no such device (see ls -l /dev/input/by-id/ for the attached ones)";
    if (error == EACCES || error == EPERM) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && info.st_gid != 0)
            return path + ": permission denied; the device belongs to group \"" + GroupOf(info) +
                   "\": join it (sudo usermod -aG " + GroupOf(info) +
                   " $USER, then log in again) or run as root";
        return path + ": permission denied; run as root or give your user read access to it";
    }
    return path + ": " + std::strerror(error);
}

bool IsKeyboard(const libevdev* device) {
    if (!libevdev_has_event_type(device, EV_KEY)) return false;
    for (unsigned code : {KEY_A, KEY_1, KEY_KP1, KEY_ENTER})
        if (libevdev_has_event_code(device, EV_KEY, code)) return true;
    return false;
}

void Append(std::string& records, const input_event& event) {
    records.append(reinterpret_cast<const char*>(&event), sizeof event);
}

} // namespace

TInputDevice::~TInputDevice() {
    if (FWait) kernel::detail::CloseWaitHandle(FWait);
    if (FDevice) {
        libevdev_grab(FDevice, LIBEVDEV_UNGRAB);
        libevdev_free(FDevice);
    }
    if (FOwnsFd && FFd >= 0) ::close(FFd);
}

bool TInputDevice::Open(const std::string& path, bool grab, std::string& error) {
    if (path == "-") {
        FFd = STDIN_FILENO;
        FName = "standard input";
    } else {
        FFd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (FFd < 0) {
            error = OpenFailure(path, errno);
            return false;
        }
        FOwnsFd = true;
        struct stat info {};
        // A named pipe stays open without blocking: the kernel reports its end only once a
        // writer has come and gone, so a wait waits for the writer like for any input.
        if (::fstat(FFd, &info) == 0 && S_ISFIFO(info.st_mode))
            FName = path;
        else if (!OpenDevice(path, grab, error))
            return false;
    }
    FWait = kernel::detail::NewWaitHandle(FFd);
    return true;
}

bool TInputDevice::OpenDevice(const std::string& path, bool grab, std::string& error) {
    const int rc = libevdev_new_from_fd(FFd, &FDevice);
    if (rc < 0) {
        FDevice = nullptr;
        error = path + ": not an input device (" + std::strerror(-rc) + ")";
        return false;
    }
    FName = libevdev_get_name(FDevice) ? libevdev_get_name(FDevice) : path;
    if (!IsKeyboard(FDevice)) {
        error = path + " (\"" + FName + "\"): not a keyboard; a scanner in keyboard mode has keys";
        return false;
    }
    // The kernel's timestamps on the monotonic clock, as the run-time's time is.
    libevdev_set_clock_id(FDevice, CLOCK_MONOTONIC);
    if (grab) {
        const int grabbed = libevdev_grab(FDevice, LIBEVDEV_GRAB);
        if (grabbed < 0) {
            error = path + " (\"" + FName + "\"): the exclusive grab was refused (" +
                    std::strerror(-grabbed) + "): another program holds it";
            return false;
        }
    }
    return true;
}

TInputRead TInputDevice::Read(std::string& records, std::string& why) {
    if (FFd < 0) return TInputRead::Ended;
    return FDevice ? ReadDevice(records, why) : ReadPipe(records);
}

TInputRead TInputDevice::ReadDevice(std::string& records, std::string& why) {
    unsigned flags = LIBEVDEV_READ_FLAG_NORMAL;
    for (;;) {
        input_event event{};
        const int rc = libevdev_next_event(FDevice, flags, &event);
        if (rc == LIBEVDEV_READ_STATUS_SYNC) {
            // The kernel dropped events: libevdev hands over the differences to its state, the
            // keys pressed and released in the gap, before the normal stream goes on.
            flags = LIBEVDEV_READ_FLAG_SYNC;
            Append(records, event);
            continue;
        }
        if (rc == LIBEVDEV_READ_STATUS_SUCCESS) {
            Append(records, event);
            continue;
        }
        if (rc == -EAGAIN) {
            if (flags == LIBEVDEV_READ_FLAG_SYNC) {
                flags = LIBEVDEV_READ_FLAG_NORMAL; // the resynchronisation is complete
                continue;
            }
            return TInputRead::More;
        }
        if (rc == -EINTR) continue;
        why = std::strerror(-rc);
        return TInputRead::Gone;
    }
}

TInputRead TInputDevice::ReadPipe(std::string& records) {
    char buffer[64 * sizeof(input_event)];
    const ssize_t got = ::read(FFd, buffer, sizeof buffer);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return TInputRead::More;
    if (got <= 0) return TInputRead::Ended;
    records.append(buffer, static_cast<std::size_t>(got));
    return TInputRead::More;
}

} // namespace quill::user
