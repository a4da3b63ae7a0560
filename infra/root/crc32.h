// CRC-32 of the reflected polynomial 0xEDB88320, updated from a given value without inversion
// before or after: the caller applies any pre- and post-inversion it needs. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill::infra {

// Returns `initial` unchanged when `data` is nil or `length` <= 0.
std::uint32_t Crc32(std::uint32_t initial, const void* data, std::int64_t length);

} // namespace quill::infra
