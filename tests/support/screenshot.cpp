#include "support/screenshot.h"

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace quill::testing {

namespace {

std::uint32_t BigEndian32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

int Shift(std::uint32_t mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

void Put32(std::string& out, std::uint32_t value) {
    for (int i = 3; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Chunk(std::string& png, const char* type, const std::string& data) {
    Put32(png, static_cast<std::uint32_t>(data.size()));
    std::string body(type, 4);
    body += data;
    png += body;
    Put32(png, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                static_cast<uInt>(body.size()))));
}

} // namespace

std::string XwdToPng(const std::string& xwdPath, const std::string& pngPath) {
    std::ifstream in(xwdPath, std::ios::binary);
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (file.size() < 100) return "window dump too short";
    std::uint32_t h[25];
    for (int i = 0; i < 25; ++i)
        h[i] = BigEndian32(&file[static_cast<std::size_t>(i) * 4]);
    const std::uint32_t headerSize = h[0], width = h[4], height = h[5], byteOrder = h[7],
                        bitsPerPixel = h[11], bytesPerLine = h[12], visualClass = h[13],
                        redMask = h[14], greenMask = h[15], blueMask = h[16], colors = h[19];
    if (visualClass != 4 && visualClass != 5) return "not a TrueColor dump";
    if (bitsPerPixel != 32 && bitsPerPixel != 24) return "unsupported pixel size";
    const std::size_t offset = std::size_t(headerSize) + std::size_t(colors) * 12;
    if (offset + std::size_t(bytesPerLine) * height > file.size()) return "window dump truncated";
    const std::size_t bytes = bitsPerPixel / 8;

    std::string raw;
    raw.reserve((std::size_t(width) * 3 + 1) * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        raw += '\0'; // no filter
        const unsigned char* row = &file[offset + std::size_t(y) * bytesPerLine];
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned char* p = row + x * bytes;
            std::uint32_t pixel = 0;
            for (std::size_t b = 0; b < bytes; ++b) {
                const std::size_t at = byteOrder == 0 ? bytes - 1 - b : b; // 0: least first
                pixel = (pixel << 8) | p[at];
            }
            raw += static_cast<char>((pixel & redMask) >> Shift(redMask));
            raw += static_cast<char>((pixel & greenMask) >> Shift(greenMask));
            raw += static_cast<char>((pixel & blueMask) >> Shift(blueMask));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  9) != Z_OK)
        return "compression failed";
    packed.resize(packedSize);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    Put32(header, width);
    Put32(header, height);
    header +=
        std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, no filter, no interlace
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", "");
    std::ofstream out(pngPath, std::ios::binary);
    out << png;
    return out ? std::string() : "cannot write " + pngPath;
}

} // namespace quill::testing
