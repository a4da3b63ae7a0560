#include "infra/root/crc32.h"

#include <array>

namespace quill::infra {

namespace {

constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr auto kTable = MakeTable();

} // namespace

std::uint32_t Crc32(std::uint32_t initial, const void* data, std::int64_t length) {
    if (!data || length <= 0) return initial;
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t crc = initial;
    for (std::int64_t i = 0; i < length; ++i)
        crc = kTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

} // namespace quill::infra
