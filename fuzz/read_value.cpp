// Decodes arbitrary bytes as one value of the value stream, and encodes what comes back.
// Decoding may refuse the input (read error, unsupported type), but must never read or write
// outside a buffer, leak or crash; whatever it accepts must encode again.
#include "exchange/stream/value_stream.h"
#include "platform/rtl/exception.h"

#include <cstddef>
#include <cstdint>
#include <new>

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (std::size_t{1} << 24)) return 0; // far beyond any input the fuzzer makes
    // Both streams get their room up front: the stream's growth step (half a megabyte) would
    // otherwise make every execution map and poison fresh memory twice.
    // No dumps of the content: nearly every input fails to read.
    exchange::TMyMemoryStream stream(nullptr);
    stream.SetCapacity(static_cast<std::int32_t>(size));
    stream.Write(data, static_cast<std::int32_t>(size));
    stream.Position = 0;
    com::OleVariant value;
    try {
        value = exchange::ReadValue(stream);
    } catch (const rtl::Exception&) {
        return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    exchange::TMyMemoryStream again;
    again.SetCapacity(static_cast<std::int32_t>(2 * size + 4096));
    try {
        exchange::WriteValue(again, value);
    } catch (const rtl::EInvalidOp&) {
        // Signed bytes still decode from old streams but are no longer written.
    }
    return 0;
}
