#include "host/evdev_source.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <libevdev/libevdev.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill::host {

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

} // namespace

TEvdevSource::~TEvdevSource() {
    if (FDevice) {
        libevdev_grab(FDevice, LIBEVDEV_UNGRAB);
        libevdev_free(FDevice);
    }
    if (FOwnsFd && FFd >= 0) ::close(FFd);
}

bool TEvdevSource::Open(const std::string& path, bool grab, std::string& error) {
    FPath = path;
    if (path == "-") {
        FFd = STDIN_FILENO;
        FName = "standard input";
        return true;
    }
    FFd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (FFd < 0) {
        error = OpenFailure(path, errno);
        return false;
    }
    FOwnsFd = true;
    struct stat info {};
    if (::fstat(FFd, &info) == 0 && S_ISFIFO(info.st_mode)) {
        // A named pipe stays open without blocking: the kernel reports its end only once a
        // writer has come and gone, so the loop waits for the writer like for any input.
        FName = path;
        return true;
    }
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

bool TEvdevSource::ReadDevice(std::vector<TKeyEvent>& keys) {
    unsigned flags = LIBEVDEV_READ_FLAG_NORMAL;
    for (;;) {
        input_event event{};
        const int rc = libevdev_next_event(FDevice, flags, &event);
        if (rc == LIBEVDEV_READ_STATUS_SYNC) {
            // The kernel dropped events: libevdev hands over the differences to its state, the
            // keys pressed and released in the gap, before the normal stream goes on.
            flags = LIBEVDEV_READ_FLAG_SYNC;
            if (!FDecoder.Decode(event, keys)) return Refused();
            continue;
        }
        if (rc == LIBEVDEV_READ_STATUS_SUCCESS) {
            if (!FDecoder.Decode(event, keys)) return Refused();
            continue;
        }
        if (rc == -EAGAIN) {
            if (flags == LIBEVDEV_READ_FLAG_SYNC) {
                flags = LIBEVDEV_READ_FLAG_NORMAL; // the resynchronisation is complete
                continue;
            }
            return true;
        }
        if (rc == -EINTR) continue;
        FReport("evdev: " + FPath + " (\"" + FName + "\") is gone (" + std::strerror(-rc) +
                "); its input ends");
        return false;
    }
}

bool TEvdevSource::ReadPipe(std::vector<TKeyEvent>& keys) {
    char buffer[64 * sizeof(input_event)];
    const ssize_t got = ::read(FFd, buffer, sizeof buffer);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (got <= 0) {
        FReport("evdev: " + FName + " ended" +
                (FDecoder.PendingBytes() ? " in the middle of an event" : std::string()));
        return false;
    }
    if (!FDecoder.DecodeBytes(buffer, static_cast<std::size_t>(got), keys)) return Refused();
    return true;
}

bool TEvdevSource::Refused() {
    FReport("evdev: " + FName + ": " + FDecoder.Error());
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
        FReport("evdev: " + FName + ": key code " + std::to_string(key.Code) +
                " is no key of the US keyboard; skipped");
}

bool TEvdevSource::OnReadable(user::TKeyboardBridge& bridge) {
    std::vector<TKeyEvent> keys;
    const bool open = FDevice ? ReadDevice(keys) : ReadPipe(keys);
    for (const TKeyEvent& key : keys)
        Feed(bridge, key);
    return open;
}

} // namespace quill::host
