// The storage file of the value array: a 31-byte header and the zlib-compressed value stream.
//
// Header, little-endian: the signature length 9 and "SaFeArRaY", the format version 1, the time of
// saving (local time as days since 30 December 1899, an IEEE double), the CRC-32 of the compressed
// bytes (reflected polynomial 0xEDB88320, start 0, no final inversion), the total file size and
// the length of the uncompressed value stream. The data is an ordinary zlib stream, within 1% of
// the size of zlib's level 9, that any zlib reader inflates; the compressor (storage_codec.h)
// writes and reads it whole, as the header gives both sizes.
// The image functions work on memory only; the value array does the file input and output.
// Failures raise rtl::Exception with the format's messages, std::bad_alloc when memory runs out.
// Thread-safe.
#pragma once

#include "exchange/stream/memory_stream.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quill::exchange {

constexpr std::size_t StorageHeaderSize = 31;
constexpr std::uint8_t StorageVersion = 1;
constexpr char StorageSignature[] = "SaFeArRaY";

// The CRC of the stored data as the header keeps it.
std::uint32_t StorageChecksum(const void* data, std::size_t size);

// The whole file image for `size` bytes of value stream. The compressed data may not be longer
// than the value stream, else "Ошибка при упаковке". Data that the fast setting does not shrink
// is tried again at the thorough one, so that small tables pack as tightly as zlib's level 9
// packs them.
std::string BuildStorageImage(const void* data, std::size_t size, double savedAt);

// Verifies `image` (size, signature, version, checksum, in that order, each with its message)
// and inflates the value stream into `stream`, positioned at 0. The data must be one complete zlib
// stream (its Adler-32 right, nothing after its end) that inflates to at most the stored length;
// else "Ошибка распаковки данных", and `stream` is left as it was.
void OpenStorageImage(const std::string& image, TMyMemoryStream& stream);
// Raises the size message of a load: for a file whose size no storage file can have, found before
// the file is read.
[[noreturn]] void RaiseStorageSizeError();

// Now, as the local date and time of the platform clock (days since 30 December 1899).
double LocalDateTimeNow();

} // namespace quill::exchange
