#include "exchange/valuearray/storage_file.h"

#include "exchange/valuearray/storage_codec.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/local_time.h"
#include "platform/kernel/number_text.h"
#include "platform/rtl/exception.h"

#include <cstring>
#include <limits>
#include <new>

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
    return StorageCrc(data, size);
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
    const std::size_t packed = PackStorageData(data, size, image, StorageHeaderSize);
    // A stream longer than the data is not stored: the format keeps what shrinks.
    if (packed == 0 || packed > size) Fail(u"Ошибка при упаковке");
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
    std::size_t produced = 0;
    // The stream must end within the area of the stored length (it may end short of it: the
    // bytes it produced form the value stream) and must end exactly where the file does: bytes
    // after its end, which a stream reader would silently skip, mean the file is not what was
    // saved.
    if (!UnpackStorageData(image.data() + StorageHeaderSize, packed, inflated.Memory, raw,
                           produced))
        Fail(u"Ошибка распаковки данных");

    stream.Clear();
    std::swap(stream.Memory, inflated.Memory);
    std::swap(stream.Capacity, inflated.Capacity);
    stream.Size = static_cast<std::int32_t>(produced);
    stream.Position = 0;
}

} // namespace quill::exchange
