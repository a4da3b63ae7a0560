#include "host/input_event_decoder.h"

#include <algorithm>
#include <cstring>

namespace quill::host {

void TInputEventDecoder::Decode(const input_event& event, std::vector<TKeyEvent>& out) {
    const std::int64_t timeUs =
        static_cast<std::int64_t>(event.input_event_sec) * 1000000 + event.input_event_usec;
    if (event.type == EV_SYN && event.code == SYN_DROPPED) {
        FDropping = true;
        // What happened to the keys in the gap is unknown: each comes up, none stays down.
        for (auto it = FDown.rbegin(); it != FDown.rend(); ++it)
            out.push_back({timeUs, *it, 0, 0, {}});
        FDown.clear();
        return;
    }
    if (FDropping) {
        if (event.type == EV_SYN && event.code == SYN_REPORT) FDropping = false;
        return;
    }
    if (event.type != EV_KEY || event.value < 0 || event.value > 2) return;
    const auto down = std::find(FDown.begin(), FDown.end(), event.code);
    if (event.value == 0) {
        // A release of a key the stream never saw pressed (pressed before it was opened) is
        // passed on: the receiver's state knows better.
        if (down != FDown.end()) FDown.erase(down);
    } else if (down == FDown.end()) {
        FDown.push_back(event.code);
    }
    out.push_back({timeUs, event.code, event.value, 0, {}});
}

void TInputEventDecoder::DecodeBytes(const void* data, std::size_t size,
                                     std::vector<TKeyEvent>& out) {
    FPartial.append(static_cast<const char*>(data), size);
    std::size_t at = 0;
    for (; at + sizeof(input_event) <= FPartial.size(); at += sizeof(input_event)) {
        input_event event;
        std::memcpy(&event, FPartial.data() + at, sizeof event);
        Decode(event, out);
    }
    FPartial.erase(0, at);
}

} // namespace quill::host
