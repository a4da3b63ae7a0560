#include "host/input_event_decoder.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

namespace quill::host {

namespace {

// The record's time in microseconds; none when it does not fit.
std::optional<std::int64_t> TimeUs(const input_event& event) {
    const std::int64_t seconds = event.input_event_sec;
    const std::int64_t micro = event.input_event_usec;
    constexpr std::int64_t maxSeconds = (INT64_MAX - 999999) / 1000000;
    if (seconds < 0 || seconds > maxSeconds || micro < 0 || micro > 999999) return std::nullopt;
    return seconds * 1000000 + micro;
}

} // namespace

bool TInputEventDecoder::Decode(const input_event& event, std::vector<TKeyEvent>& out) {
    if (!FError.empty()) return false;
    ++FRecords;
    const auto time = TimeUs(event);
    if (!time) {
        FError = "record " + std::to_string(FRecords) + ": the time " +
                 std::to_string(static_cast<std::int64_t>(event.input_event_sec)) + " s " +
                 std::to_string(static_cast<std::int64_t>(event.input_event_usec)) +
                 " us is no time of an input event; the stream ends here";
        return false;
    }
    const std::int64_t timeUs = *time;
    if (event.type == EV_SYN && event.code == SYN_DROPPED) {
        FDropping = true;
        // What happened to the keys in the gap is unknown: each comes up, none stays down.
        for (auto it = FDown.rbegin(); it != FDown.rend(); ++it)
            out.push_back({timeUs, *it, 0, 0, {}});
        FDown.clear();
        return true;
    }
    if (FDropping) {
        if (event.type == EV_SYN && event.code == SYN_REPORT) FDropping = false;
        return true;
    }
    if (event.type != EV_KEY || event.value < 0 || event.value > 2) return true;
    const auto down = std::find(FDown.begin(), FDown.end(), event.code);
    if (event.value == 0) {
        // A release of a key the stream never saw pressed (pressed before it was opened) is
        // passed on: the receiver's state knows better.
        if (down != FDown.end()) FDown.erase(down);
    } else if (down == FDown.end()) {
        FDown.push_back(event.code);
    }
    out.push_back({timeUs, event.code, event.value, 0, {}});
    return true;
}

bool TInputEventDecoder::DecodeBytes(const void* data, std::size_t size,
                                     std::vector<TKeyEvent>& out) {
    if (!FError.empty()) return false;
    FPartial.append(static_cast<const char*>(data), size);
    std::size_t at = 0;
    for (; at + sizeof(input_event) <= FPartial.size(); at += sizeof(input_event)) {
        input_event event;
        std::memcpy(&event, FPartial.data() + at, sizeof event);
        if (!Decode(event, out)) {
            FPartial.clear();
            return false;
        }
    }
    FPartial.erase(0, at);
    return true;
}

} // namespace quill::host
