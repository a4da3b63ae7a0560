// The version block's checked reading, shared by both systems' file_version.cpp: whether a block
// is whole and well formed, the size reported for it, and VerQueryValueA over it (file_version.h).
// Only platform/kernel uses this. Pure and thread-safe.
#pragma once

#include "platform/kernel/file_version.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quill::kernel {

// Whether the `size` bytes at `block` begin with a whole VS_VERSION_INFO node whose fixed part,
// when present, has the right signature.
bool ValidVersionBlock(const unsigned char* block, std::size_t size);

// The size GetFileVersionInfoSizeA reports for a block of `blockSize` bytes: the block and room
// after it for the 8-bit copies of its texts.
DWORD ReportedVersionInfoSize(std::size_t blockSize);

// The version block of the file `fileName`, whole and checked; nothing, with the last error set,
// when the file cannot be read or has none. Each system reads it its own way: from the ELF
// section on Linux, from the version resource on Windows.
std::optional<std::vector<unsigned char>> VersionBlockOf(const std::string& fileName);

// The first word of a block: its length.
inline std::size_t VersionBlockLength(const unsigned char* block) {
    return static_cast<std::size_t>(block[0] | (block[1] << 8));
}

} // namespace quill::kernel
