// Decodes arbitrary bytes as one value of the value stream, and encodes what comes back.
// Decoding may refuse the input (read error, unsupported type), but must never read or write
// outside a buffer, leak or crash; whatever it accepts must encode again.
#include "exchange/stream/value_stream.h"
#include "platform/rtl/exception.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

using namespace quill;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    exchange::SetReadDumpsEnabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;
    exchange::TMyMemoryStream stream;
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
    try {
        exchange::WriteValue(again, value);
    } catch (const rtl::EInvalidOp&) {
        // Signed bytes still decode from old streams but are no longer written.
    }
    return 0;
}
