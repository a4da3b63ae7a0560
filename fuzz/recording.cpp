// Fuzzes the recording parser that --replay feeds with a user's file: evtest and evemu-record
// text, told apart by content. Besides memory faults, a finding is a result that breaks the
// parser's contract: a refusal that keeps events or names no reason, a line number outside the
// text, events out of line order, or a parse that depends on where the text's numbering starts.
#include "host/recording.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quill::host;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::int64_t lines = std::count(text.begin(), text.end(), '\n') + 1;

    const TRecordingParse parse = ParseRecording(text);
    if (!parse.Ok) {
        Check(parse.Events.empty());
        Check(!parse.Error.empty());
        Check(parse.ErrorLine >= 0 && parse.ErrorLine <= lines);
    } else {
        std::int64_t previous = 0;
        for (const TKeyEvent& event : parse.Events) {
            Check(event.Line >= previous && event.Line >= 1 && event.Line <= lines);
            Check(event.TimeUs >= 0);
            previous = event.Line;
        }
    }

    // Numbering from far beyond 32 bits moves every line number and changes nothing else.
    constexpr std::int64_t offset = std::int64_t{1} << 40;
    const TRecordingParse moved = ParseRecording(text, offset + 1);
    Check(moved.Ok == parse.Ok && moved.Events.size() == parse.Events.size());
    Check(moved.ErrorLine == (parse.ErrorLine ? parse.ErrorLine + offset : 0));
    for (std::size_t i = 0; i < parse.Events.size(); ++i) {
        Check(moved.Events[i].Line == parse.Events[i].Line + offset);
        Check(moved.Events[i].TimeUs == parse.Events[i].TimeUs);
        Check(moved.Events[i].Code == parse.Events[i].Code);
        Check(moved.Events[i].Value == parse.Events[i].Value);
    }
    return 0;
}
