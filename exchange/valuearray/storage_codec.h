// The storage file's compressor: the zlib stream that holds the value stream, and the CRC that the
// header keeps of it. Two implementations give the same stream format and the same CRC: one over
// libdeflate (whole buffers, faster than zlib; zlib has the last word on the inputs it cannot fit)
// in libdeflate/, and one over zlib alone (level 9) in zlib/, for systems without a libdeflate
// package. The build links exactly one of them.
//
// Thread-safe. std::bad_alloc when memory runs out; every other failure is a result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quill::exchange {

// The header's CRC of `size` bytes: the reflected polynomial 0xEDB88320 run from 0 with no final
// inversion (zlib's crc32 inverts on entry and on exit, so the register is ~crc32 from all ones).
std::uint32_t StorageCrc(const void* data, std::size_t size);

// Replaces `image` with `headerSize` zero bytes followed by the zlib stream of the `size` bytes at
// `data` (the image may have slack after the stream). Returns the stream's length, or 0 when the
// stream does not fit into `size` bytes (the data does not shrink) or the compressor fails.
std::size_t PackStorageData(const void* data, std::size_t size, std::string& image,
                            std::size_t headerSize);

// Inflates `packed` into the `capacity` bytes at `out` (which may be nil when `capacity` is 0).
// True when `packed` is exactly one complete zlib stream (its Adler-32 right, nothing after its
// end) whose output fits; `produced` is then what it inflated to, possibly less than `capacity`.
bool UnpackStorageData(const void* packed, std::size_t packedSize, void* out, std::size_t capacity,
                       std::size_t& produced);

// zlib's level 9 into an area of the data's own size after `headerSize` zero bytes: the stream's
// length, or 0 when it does not fit. Both implementations end with it: whatever zlib's level 9
// fits must be stored.
std::size_t PackWithZlibLevel9(const void* data, std::size_t size, std::string& image,
                               std::size_t headerSize);

} // namespace quill::exchange
