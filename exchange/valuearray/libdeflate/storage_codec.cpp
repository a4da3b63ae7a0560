// The storage file's compressor over libdeflate, with zlib's level 9 for what it cannot fit.
#include "exchange/valuearray/storage_codec.h"

#include <libdeflate.h>
#include <memory>
#include <new>

namespace quill::exchange {

namespace {

// The format asks for zlib's level 9, its smallest output. On tables of mixed values libdeflate's
// level 8 comes within 1% of that size in two thirds of zlib's time (tables of long repeated
// texts may come out a few per cent larger); its level 9 takes longer than zlib's for a few bytes
// less, and from level 10 on it is smaller but twice as slow. The stream's header declares
// maximum compression at any of these levels.
constexpr int kCompressionLevel = 8;
// The thorough setting, for data that the fast one does not shrink.
constexpr int kThoroughLevel = 12;

struct TCompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
struct TDecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Compresses at `level` into `image` after the header; the stream's length, 0 on failure. The
// compressor is given the room its worst case needs: with less it gives up even on streams that
// end up shorter than the area (it wants a few bytes of slack, and on a small table that is all
// the room there is), so only the finished length tells whether the data shrank.
std::size_t Compress(int level, const void* data, std::size_t size, std::string& image,
                     std::size_t headerSize) {
    const std::unique_ptr<libdeflate_compressor, TCompressorDeleter> compressor(
        libdeflate_alloc_compressor(level));
    if (!compressor) throw std::bad_alloc();
    image.assign(headerSize + libdeflate_zlib_compress_bound(compressor.get(), size), '\0');
    // With the bound's room the compressor always finishes; 0 would be a broken promise.
    return libdeflate_zlib_compress(compressor.get(), data, size, &image[headerSize],
                                    image.size() - headerSize);
}

} // namespace

std::uint32_t StorageCrc(const void* data, std::size_t size) {
    return ~libdeflate_crc32(0xFFFFFFFFu, data, size);
}

std::size_t PackStorageData(const void* data, std::size_t size, std::string& image,
                            std::size_t headerSize) {
    std::size_t packed = Compress(kCompressionLevel, data, size, image, headerSize);
    if (packed == 0) return 0;
    // On a few dozen bytes the fast setting may not shrink what a thorough search does (zlib's
    // level 9 included); such data is small, so the second try costs next to nothing.
    if (packed > size) packed = Compress(kThoroughLevel, data, size, image, headerSize);
    if (packed == 0) return 0;
    // Whatever zlib's level 9 fits into the table's own size must be stored: no search of
    // another compressor promises to match it on every input, so zlib itself has the last word.
    if (packed > size) packed = PackWithZlibLevel9(data, size, image, headerSize);
    return packed;
}

bool UnpackStorageData(const void* packed, std::size_t packedSize, void* out, std::size_t capacity,
                       std::size_t& produced) {
    const std::unique_ptr<libdeflate_decompressor, TDecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor) throw std::bad_alloc();
    unsigned char none = 0; // an output area for a capacity of 0
    std::size_t consumed = 0;
    produced = 0;
    const libdeflate_result rc =
        libdeflate_zlib_decompress_ex(decompressor.get(), packed, packedSize,
                                      capacity ? out : &none, capacity, &consumed, &produced);
    return rc == LIBDEFLATE_SUCCESS && consumed == packedSize;
}

} // namespace quill::exchange
