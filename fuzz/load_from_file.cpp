// Loads arbitrary bytes as a value array's storage file through ISafeArray::LoadFromFile.
//
// The first input byte picks how the rest becomes the file: 0 as is; 1 as the compressed data
// behind a header with the right size and checksum (the version byte and stored length come from
// the input); 2 as a value stream that is compressed and wrapped in a correct header. Without the
// last two, almost every input would stop at the checksum. Loading may refuse the file, but must
// never read outside a buffer, leak or crash, and a refused load leaves the table unchanged.
#include "exchange/valuearray/storage_file.h"
#include "exchange/valuearray/value_array_class.h"
#include "platform/com/errorinfo.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

using namespace quill;

namespace {

std::string gPath;
std::u16string gWidePath;

void PutU32(std::string& s, std::size_t at, std::uint32_t v) {
    std::memcpy(&s[at], &v, 4);
}

std::string Wrap(const std::string& packed, std::uint8_t version, std::uint32_t rawLength) {
    std::string file(exchange::StorageHeaderSize, '\0');
    file[0] = 9;
    std::memcpy(&file[1], exchange::StorageSignature, 9);
    file[10] = static_cast<char>(version);
    file += packed;
    PutU32(file, 19, exchange::StorageChecksum(packed.data(), packed.size()));
    PutU32(file, 23, static_cast<std::uint32_t>(file.size()));
    PutU32(file, 27, rawLength);
    return file;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    gPath = std::string(folder) + "/quill-fuzz-load-" + std::to_string(getpid()) + ".dat";
    // The dumps of the loads that fail to read (the process's share, a few files) go to a
    // scratch folder of the run's own, not the user's log folder.
    const std::string data = std::string(folder) + "/quill-fuzz-data-" + std::to_string(getpid());
    setenv("QUILL_DATA_DIR", data.c_str(), 0);
    gWidePath.assign(gPath.begin(), gPath.end());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > (1u << 20)) return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string file;
    switch (data[0] % 3) {
    case 0:
        file = rest;
        break;
    case 1: {
        if (rest.size() < 5) return 0;
        std::uint32_t raw;
        std::memcpy(&raw, rest.data() + 1, 4);
        file = Wrap(rest.substr(5), static_cast<std::uint8_t>(rest[0]), raw % (1u << 22));
        break;
    }
    default: {
        uLongf packedSize = compressBound(rest.size());
        std::string packed(packedSize, '\0');
        if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                      reinterpret_cast<const Bytef*>(rest.data()), rest.size(), 9) != Z_OK)
            return 0;
        packed.resize(packedSize);
        file = Wrap(packed, 1, static_cast<std::uint32_t>(rest.size()));
        break;
    }
    }
    {
        std::ofstream out(gPath, std::ios::binary | std::ios::trunc);
        out.write(file.data(), static_cast<std::streamsize>(file.size()));
    }

    com::ComPtr<ISafeArray> table = exchange::CreateValueArray();
    table->SetBounds(1, 1);
    com::SAFEARRAY* before = nullptr;
    table->GetPSA(&before);
    com::BStr name(gWidePath);
    std::int16_t ok = 0;
    const com::HRESULT hr = table->LoadFromFile(name.Get(), &ok);
    com::TakeErrorDescription();
    com::SAFEARRAY* after = nullptr;
    table->GetPSA(&after);
    if (com::FAILED(hr) && after != before) std::abort(); // a refused load changed the table
    return 0;
}
