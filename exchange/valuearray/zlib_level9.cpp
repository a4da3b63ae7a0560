// zlib's level 9, the format's own setting, shared by both compressors of the storage file.
#include "exchange/valuearray/storage_codec.h"

#include <new>
#include <zlib.h>

namespace quill::exchange {

std::size_t PackWithZlibLevel9(const void* data, std::size_t size, std::string& image,
                               std::size_t headerSize) {
    image.assign(headerSize + size, '\0');
    uLongf packed = static_cast<uLongf>(size);
    const int result = compress2(reinterpret_cast<Bytef*>(&image[headerSize]), &packed,
                                 static_cast<const Bytef*>(data), static_cast<uLong>(size), 9);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    // Z_BUF_ERROR: the stream is longer than the data.
    return result == Z_OK ? static_cast<std::size_t>(packed) : 0;
}

} // namespace quill::exchange
