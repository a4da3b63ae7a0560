#include "exchange/valuearray/storage_file.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/local_time.h"
#include "platform/kernel/number_text.h"
#include "platform/rtl/exception.h"

#include <cstring>
#include <libdeflate.h>
#include <limits>
#include <memory>
#include <new>
#include <zlib.h>

namespace quill::exchange {

namespace {

constexpr std::size_t kOffsetVersion = 10;
constexpr std::size_t kOffsetTime = 11;
constexpr std::size_t kOffsetChecksum = 19;
constexpr std::size_t kOffsetTotal = 23;
constexpr std::size_t kOffsetRaw = 27;
// zlib's deflate never shrinks data by more than about 1032:1; a stored length beyond that
// cannot be honest and is refused before anything is allocated for it.
constexpr std::uint64_t kMaxInflateRatio = 1032;
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

[[noreturn]] void Fail(const char16_t* message) {
    throw rtl::Exception(kernel::WideToAnsi(message));
}

// Compresses `size` bytes at `level` into `image` after room for the header; the stream's length.
// The compressor is given the room its worst case needs: with less it gives up even on streams
// that end up shorter than the area (it wants a few bytes of slack, and on a small table that is
// all the room there is), so only the finished length tells whether the data shrank.
std::size_t Compress(int level, const void* data, std::size_t size, std::string& image) {
    const std::unique_ptr<libdeflate_compressor, TCompressorDeleter> compressor(
        libdeflate_alloc_compressor(level));
    if (!compressor) throw std::bad_alloc();
    image.assign(StorageHeaderSize + libdeflate_zlib_compress_bound(compressor.get(), size), '\0');
    const std::size_t packed = libdeflate_zlib_compress(
        compressor.get(), data, size, &image[StorageHeaderSize], image.size() - StorageHeaderSize);
    // With the bound's room the compressor always finishes; 0 would be a broken promise.
    if (packed == 0) Fail(u"Ошибка при упаковке");
    return packed;
}

// zlib's level 9 into an area of the data's own size after the header: the stream's length, or
// a failure when the stream does not fit, which is when the data does not shrink.
std::size_t CompressWithZlib(const void* data, std::size_t size, std::string& image) {
    image.assign(StorageHeaderSize + size, '\0');
    uLongf packed = static_cast<uLongf>(size);
    const int result = compress2(reinterpret_cast<Bytef*>(&image[StorageHeaderSize]), &packed,
                                 static_cast<const Bytef*>(data), static_cast<uLong>(size), 9);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK) Fail(u"Ошибка при упаковке");
    return packed;
}

void PutU32(std::string& s, std::size_t at, std::uint32_t v) {
    std::memcpy(&s[at], &v, 4);
}
std::uint32_t GetU32(const std::string& s, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

} // namespace

std::uint32_t StorageChecksum(const void* data, std::size_t size) {
    // The header's CRC is the bare register (start 0, no final inversion); the library's crc32
    // inverts on entry and on exit, so starting it from all ones and inverting its result gives
    // the same value, computed many bytes at a time instead of one.
    return ~libdeflate_crc32(0xFFFFFFFFu, data, size);
}

double LocalDateTimeNow() {
    kernel::SYSTEMTIME local{};
    kernel::GetLocalTime(&local);
    const double seconds =
        local.wHour * 3600.0 + local.wMinute * 60.0 + local.wSecond + local.wMilliseconds / 1000.0;
    return kernel::EncodeDate(local.wYear, local.wMonth, local.wDay, seconds);
}

std::string BuildStorageImage(const void* data, std::size_t size, double savedAt) {
    if (size > std::numeric_limits<std::uint32_t>::max() - StorageHeaderSize)
        Fail(u"Ошибка при упаковке");
    std::string image;
    std::size_t packed = Compress(kCompressionLevel, data, size, image);
    // On a few dozen bytes the fast setting may not shrink what a thorough search does (zlib's
    // level 9 included); such data is small, so the second try costs next to nothing.
    if (packed > size) packed = Compress(kThoroughLevel, data, size, image);
    // Whatever zlib's level 9 fits into the table's own size must be stored: no search of
    // another compressor promises to match it on every input, so zlib itself has the last word.
    if (packed > size) packed = CompressWithZlib(data, size, image);
    image.resize(StorageHeaderSize + packed);

    image[0] = 9;
    std::memcpy(&image[1], StorageSignature, 9);
    image[kOffsetVersion] = static_cast<char>(StorageVersion);
    std::memcpy(&image[kOffsetTime], &savedAt, 8);
    PutU32(image, kOffsetChecksum, StorageChecksum(image.data() + StorageHeaderSize, packed));
    PutU32(image, kOffsetTotal, static_cast<std::uint32_t>(image.size()));
    PutU32(image, kOffsetRaw, static_cast<std::uint32_t>(size));
    return image;
}

void RaiseStorageSizeError() {
    Fail(u"Хранилище повреждено - неверный размер файла");
}

void OpenStorageImage(const std::string& image, TMyMemoryStream& stream) {
    // A file shorter than its header has no size field to compare: it is the wrong size.
    if (image.size() < StorageHeaderSize || image.size() != GetU32(image, kOffsetTotal))
        RaiseStorageSizeError();
    if (image[0] != 9 || std::memcmp(image.data() + 1, StorageSignature, 9) != 0)
        Fail(u"Файл не является хранилищем ISafeArray");
    if (static_cast<std::uint8_t>(image[kOffsetVersion]) > StorageVersion)
        Fail(u"Неверная версия хранилища");
    const std::size_t packed = image.size() - StorageHeaderSize;
    if (StorageChecksum(image.data() + StorageHeaderSize, packed) != GetU32(image, kOffsetChecksum))
        Fail(u"Хранилище повреждено - неверная контрольная сумма данных");

    const std::uint32_t raw = GetU32(image, kOffsetRaw);
    if (raw > static_cast<std::uint64_t>(packed) * kMaxInflateRatio + 64 ||
        raw > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        Fail(u"Ошибка распаковки данных");
    const std::unique_ptr<libdeflate_decompressor, TDecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor) throw std::bad_alloc();
    TMyMemoryStream inflated;
    inflated.SetCapacity(static_cast<std::int32_t>(raw));
    unsigned char none = 0; // an output area for a stored length of 0
    std::size_t consumed = 0, produced = 0;
    // The stream must end within the area of the stored length (it may end short of it: the
    // bytes it produced form the value stream) and must end exactly where the file does: bytes
    // after its end, which a stream reader would silently skip, mean the file is not what was
    // saved.
    const libdeflate_result rc =
        libdeflate_zlib_decompress_ex(decompressor.get(), image.data() + StorageHeaderSize, packed,
                                      raw ? inflated.Memory : &none, raw, &consumed, &produced);
    if (rc != LIBDEFLATE_SUCCESS || consumed != packed) Fail(u"Ошибка распаковки данных");

    stream.Clear();
    std::swap(stream.Memory, inflated.Memory);
    std::swap(stream.Capacity, inflated.Capacity);
    stream.Size = static_cast<std::int32_t>(produced);
    stream.Position = 0;
}

} // namespace quill::exchange
