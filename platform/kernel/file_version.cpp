#include "platform/kernel/file_version.h"

#include "platform/kernel/file_version_block.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/last_error.h"

#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quill::kernel {

namespace {

constexpr std::string_view SectionName = ".quill_version";
constexpr std::size_t MaxBlock = 0xFFFF; // the format's lengths are 16-bit

// ---- Reading the file ----

class TFile {
  public:
    explicit TFile(const std::string& name) {
        FFd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (FFd >= 0 && fstat(FFd, &info) == 0 && S_ISREG(info.st_mode))
            FSize = static_cast<std::uint64_t>(info.st_size);
        else if (FFd >= 0)
            SetLastError(ERROR_ACCESS_DENIED);
        else
            SetLastErrorFromErrno();
    }
    ~TFile() {
        if (FFd >= 0) close(FFd);
    }
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    // Exactly `length` bytes at `offset`, or nothing when they are not all inside the file.
    bool Read(std::uint64_t offset, std::uint64_t length, void* out) const {
        if (FFd < 0 || offset > FSize || length > FSize - offset) return false;
        auto* p = static_cast<char*>(out);
        while (length) {
            const ssize_t n = pread(FFd, p, length, static_cast<off_t>(offset));
            if (n <= 0) return false;
            p += n;
            offset += static_cast<std::uint64_t>(n);
            length -= static_cast<std::uint64_t>(n);
        }
        return true;
    }

  private:
    int FFd = -1;
    std::uint64_t FSize = 0;
};

struct TEndian {
    bool Big;
    std::uint64_t Get(const unsigned char* p, int bytes) const {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            const int shift = Big ? 8 * (bytes - 1 - i) : 8 * i;
            v |= std::uint64_t(p[i]) << shift;
        }
        return v;
    }
};

struct TSection {
    std::uint64_t NameOffset, Type, Offset, Size;
};

// The raw bytes of the version section, checked only for their place in the file.
std::optional<std::vector<unsigned char>> ReadSection(const TFile& file) {
    unsigned char ident[64] = {};
    if (!file.Read(0, 16, ident) || std::memcmp(ident,
                                                "\x7F"
                                                "ELF",
                                                4) != 0)
        return std::nullopt;
    const bool is64 = ident[4] == 2;
    if ((ident[4] != 1 && ident[4] != 2) || (ident[5] != 1 && ident[5] != 2)) return std::nullopt;
    const TEndian e{ident[5] == 2};
    const std::uint64_t headerSize = is64 ? 64 : 52;
    if (!file.Read(0, headerSize, ident)) return std::nullopt;
    const std::uint64_t shoff = is64 ? e.Get(ident + 0x28, 8) : e.Get(ident + 0x20, 4);
    const std::uint64_t shentsize = e.Get(ident + (is64 ? 0x3A : 0x2E), 2);
    const std::uint64_t shnum = e.Get(ident + (is64 ? 0x3C : 0x30), 2);
    const std::uint64_t shstrndx = e.Get(ident + (is64 ? 0x3E : 0x32), 2);
    const std::uint64_t minEntry = is64 ? 64 : 40;
    if (shentsize < minEntry || shnum == 0 || shstrndx >= shnum) return std::nullopt;

    auto section = [&](std::uint64_t index) -> std::optional<TSection> {
        unsigned char raw[64];
        if (index >= shnum || shoff + index * shentsize < shoff) return std::nullopt;
        if (!file.Read(shoff + index * shentsize, minEntry, raw)) return std::nullopt;
        TSection s{};
        s.NameOffset = e.Get(raw, 4);
        s.Type = e.Get(raw + 4, 4);
        s.Offset = is64 ? e.Get(raw + 0x18, 8) : e.Get(raw + 0x10, 4);
        s.Size = is64 ? e.Get(raw + 0x20, 8) : e.Get(raw + 0x14, 4);
        return s;
    };
    constexpr std::uint64_t SHT_NOBITS = 8;
    const auto names = section(shstrndx);
    if (!names || names->Type == SHT_NOBITS) return std::nullopt;
    for (std::uint64_t i = 0; i < shnum; ++i) {
        const auto s = section(i);
        if (!s || s->Type == SHT_NOBITS || s->NameOffset >= names->Size) continue;
        char name[SectionName.size() + 1] = {};
        const std::uint64_t room = names->Size - s->NameOffset;
        const std::uint64_t want = std::min<std::uint64_t>(room, sizeof name);
        if (!file.Read(names->Offset + s->NameOffset, want, name)) continue;
        if (want < sizeof name || std::string_view(name, sizeof name) !=
                                      std::string_view(SectionName.data(), SectionName.size() + 1))
            continue;
        if (s->Size < 6 || s->Size > MaxBlock + 3) return std::nullopt;
        std::vector<unsigned char> bytes(s->Size);
        if (!file.Read(s->Offset, s->Size, bytes.data())) return std::nullopt;
        return bytes;
    }
    return std::nullopt;
}

} // namespace

// The checked block, trimmed to its root length.
std::optional<std::vector<unsigned char>> VersionBlockOf(const std::string& fileName) {
    const TFile file(fileName);
    auto bytes = ReadSection(file);
    if (!bytes || !ValidVersionBlock(bytes->data(), bytes->size())) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return std::nullopt;
    }
    bytes->resize(VersionBlockLength(bytes->data()));
    return bytes;
}

} // namespace quill::kernel
