#include "exchange/valuearray/storage_file.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/number_text.h"
#include "platform/rtl/exception.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <limits>
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

[[noreturn]] void Fail(const char16_t* message) {
    throw rtl::Exception(kernel::WideToAnsi(message));
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
    // The header's CRC is the bare register (start 0, no final inversion); zlib's crc32 inverts
    // on entry and on exit, so starting it from all ones and inverting its result gives the same
    // value, computed several bytes at a time instead of one.
    std::uint32_t crc = 0xFFFFFFFFu;
    const auto* p = static_cast<const Bytef*>(data);
    while (size > 0) {
        const auto chunk = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = static_cast<std::uint32_t>(crc32(crc, p, chunk));
        p += chunk;
        size -= chunk;
    }
    return ~crc;
}

double LocalDateTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                           static_cast<double>(now.tv_nsec / 1000000) / 1000.0;
    return kernel::EncodeDate(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                              static_cast<unsigned>(local.tm_mday), seconds);
}

std::string BuildStorageImage(const void* data, std::size_t size, double savedAt) {
    if (size > std::numeric_limits<std::uint32_t>::max() - StorageHeaderSize)
        Fail(u"Ошибка при упаковке");
    std::string image(StorageHeaderSize + size, '\0');
    // The output area is exactly as large as the input: data that does not shrink is refused.
    uLongf packed = static_cast<uLongf>(size);
    const int rc = compress2(reinterpret_cast<Bytef*>(&image[StorageHeaderSize]), &packed,
                             static_cast<const Bytef*>(data), static_cast<uLong>(size), 9);
    if (rc != Z_OK) Fail(u"Ошибка при упаковке");
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
    TMyMemoryStream inflated;
    inflated.SetCapacity(static_cast<std::int32_t>(raw));
    uLongf produced = raw;
    const int rc = uncompress(inflated.Memory, &produced,
                              reinterpret_cast<const Bytef*>(image.data() + StorageHeaderSize),
                              static_cast<uLong>(packed));
    if (rc != Z_OK) Fail(u"Ошибка распаковки данных");

    stream.Clear();
    std::swap(stream.Memory, inflated.Memory);
    std::swap(stream.Capacity, inflated.Capacity);
    stream.Size = static_cast<std::int32_t>(produced);
    stream.Position = 0;
}

} // namespace quill::exchange
