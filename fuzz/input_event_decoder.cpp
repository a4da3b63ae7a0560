// Fuzzes the decoder of kernel input events that `--evdev -` reads from a pipe (possibly over
// ssh): any bytes, cut into reads of any size. The first byte chooses the read size; the rest is
// the stream. Besides memory faults, a finding is a result that depends on how the reads cut the
// stream, a key event with a value other than 0, 1 and 2 or a negative time, or a stream that
// goes on after it was refused.
#include "host/input_event_decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using quill::host::TInputEventDecoder;
using quill::host::TKeyEvent;

void Check(bool condition) {
    if (!condition) std::abort();
}

bool Same(const std::vector<TKeyEvent>& a, const std::vector<TKeyEvent>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].TimeUs != b[i].TimeUs || a[i].Code != b[i].Code || a[i].Value != b[i].Value)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = data[0] % 64 + 1;
    const std::uint8_t* stream = data + 1;
    const std::size_t bytes = size - 1;

    TInputEventDecoder whole;
    std::vector<TKeyEvent> wholeKeys;
    const bool wholeOk = whole.DecodeBytes(stream, bytes, wholeKeys);
    Check(wholeOk == whole.Error().empty());

    TInputEventDecoder pieces;
    std::vector<TKeyEvent> pieceKeys;
    bool piecesOk = true;
    for (std::size_t at = 0; at < bytes; at += chunk) {
        const std::size_t n = bytes - at < chunk ? bytes - at : chunk;
        const std::size_t before = pieceKeys.size();
        const bool ok = pieces.DecodeBytes(stream + at, n, pieceKeys);
        // Once refused, nothing more comes out.
        if (!piecesOk) Check(!ok && pieceKeys.size() == before);
        piecesOk = piecesOk && ok;
    }
    Check(piecesOk == wholeOk);
    Check(pieces.Error() == whole.Error());
    Check(Same(pieceKeys, wholeKeys));
    if (wholeOk) Check(pieces.PendingBytes() == whole.PendingBytes());
    for (const TKeyEvent& key : wholeKeys)
        Check(key.Value >= 0 && key.Value <= 2 && key.TimeUs >= 0);
    return 0;
}
