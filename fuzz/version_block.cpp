// Fuzzes the reading of version blocks from files: TVersionInfo on arbitrary bytes. An input that
// starts with byte 0 is taken as the content of a ".quill_version" section and wrapped in a minimal
// ELF file, so that the block parser itself is reached; any other input is the whole file.
#include "infra/version/version_info.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

template <class T> void Put(std::vector<std::uint8_t>& out, std::size_t at, T value) {
    std::memcpy(out.data() + at, &value, sizeof value);
}

std::vector<std::uint8_t> WrapInElf(const std::uint8_t* data, std::size_t size) {
    static const char names[] = "\0.quill_version\0.shstrtab";
    const std::size_t dataAt = 64, namesAt = dataAt + size;
    const std::size_t headersAt = (namesAt + sizeof names + 7) & ~std::size_t(7);
    std::vector<std::uint8_t> out(headersAt + 3 * 64, 0);
    std::memcpy(out.data(),
                "\x7F"
                "ELF\x02\x01\x01",
                7);
    Put<std::uint16_t>(out, 0x10, 3);    // shared object
    Put<std::uint16_t>(out, 0x12, 0x3E); // x86-64
    Put<std::uint32_t>(out, 0x14, 1);
    Put<std::uint64_t>(out, 0x28, headersAt);
    Put<std::uint16_t>(out, 0x34, 64);
    Put<std::uint16_t>(out, 0x3A, 64);
    Put<std::uint16_t>(out, 0x3C, 3);
    Put<std::uint16_t>(out, 0x3E, 2);
    if (size) std::memcpy(out.data() + dataAt, data, size);
    std::memcpy(out.data() + namesAt, names, sizeof names);
    const std::size_t version = headersAt + 64, strings = headersAt + 128;
    Put<std::uint32_t>(out, version, 1);     // name ".quill_version"
    Put<std::uint32_t>(out, version + 4, 1); // PROGBITS
    Put<std::uint64_t>(out, version + 0x18, dataAt);
    Put<std::uint64_t>(out, version + 0x20, size);
    Put<std::uint32_t>(out, strings, 16);    // name ".shstrtab"
    Put<std::uint32_t>(out, strings + 4, 3); // STRTAB
    Put<std::uint64_t>(out, strings + 0x18, namesAt);
    Put<std::uint64_t>(out, strings + 0x20, sizeof names);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> file;
    if (size > 0 && data[0] == 0)
        file = WrapInElf(data + 1, size - 1);
    else
        file.assign(data, data + size);
    const int fd = memfd_create("quill-version-fuzz", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (write(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size())) {
        quill::infra::TVersionInfo info("/proc/self/fd/" + std::to_string(fd));
        info.FileVersion();
        info.StringValue("ProductName");
        info.VersionNumbers();
    }
    close(fd);
    return 0;
}
