// The storage file's compressor over zlib alone: level 9, the format's own setting, for systems
// that have no libdeflate package. Its streams and CRCs are those of the libdeflate side.
#include "exchange/valuearray/storage_codec.h"

#include <limits>
#include <new>
#include <zlib.h>

namespace quill::exchange {

std::uint32_t StorageCrc(const void* data, std::size_t size) {
    // The register starts from 0: zlib inverts the value it is given on entry, so it is given all
    // ones, and its result inverted on exit is inverted back.
    const auto* bytes = static_cast<const Bytef*>(data);
    uLong crc = 0xFFFFFFFFul;
    // crc32 takes a uInt length: a larger area is fed in pieces.
    constexpr std::size_t kPiece = std::numeric_limits<uInt>::max() / 2;
    while (size > 0) {
        const std::size_t piece = size < kPiece ? size : kPiece;
        crc = crc32(crc, bytes, static_cast<uInt>(piece));
        bytes += piece;
        size -= piece;
    }
    return ~static_cast<std::uint32_t>(crc);
}

std::size_t PackStorageData(const void* data, std::size_t size, std::string& image,
                            std::size_t headerSize) {
    return PackWithZlibLevel9(data, size, image, headerSize);
}

bool UnpackStorageData(const void* packed, std::size_t packedSize, void* out, std::size_t capacity,
                       std::size_t& produced) {
    produced = 0;
    if (packedSize > std::numeric_limits<uLong>::max() ||
        capacity > std::numeric_limits<uLongf>::max())
        return false;
    unsigned char none = 0; // an output area for a capacity of 0
    uLongf written = static_cast<uLongf>(capacity);
    uLong consumed = static_cast<uLong>(packedSize);
    // uncompress2 succeeds only on a complete stream, and tells how much of the input it used:
    // bytes after the stream's end mean the data is not what was saved.
    const int result = uncompress2(capacity ? static_cast<Bytef*>(out) : &none, &written,
                                   static_cast<const Bytef*>(packed), &consumed);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK || consumed != packedSize) return false;
    produced = capacity ? static_cast<std::size_t>(written) : 0;
    return true;
}

} // namespace quill::exchange
