#include "platform/kernel/file_version.h"

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

// ---- The block's structure ----

std::uint16_t Word(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// One node of the block: its extent, key, value and children.
struct TNode {
    std::size_t Start, End;          // the node's bytes
    std::size_t KeyStart, KeyLength; // in characters, without the zero
    std::size_t ValueStart, ValueBytes;
    std::uint16_t ValueLength, Type;
    std::size_t ChildrenStart;
};

std::size_t Align4(std::size_t n) {
    return (n + 3) & ~std::size_t(3);
}

// The node at `at`, inside [0, limit) of `block`; nothing when it does not fit.
std::optional<TNode> NodeAt(const unsigned char* block, std::size_t at, std::size_t limit) {
    if (at + 6 > limit) return std::nullopt;
    TNode n{};
    n.Start = at;
    const std::size_t length = Word(block + at);
    if (length < 6 || length > limit - at) return std::nullopt;
    n.End = at + length;
    n.ValueLength = Word(block + at + 2);
    n.Type = Word(block + at + 4);
    n.KeyStart = at + 6;
    std::size_t p = n.KeyStart;
    while (true) {
        if (p + 2 > n.End) return std::nullopt;
        if (Word(block + p) == 0) break;
        p += 2;
    }
    n.KeyLength = (p - n.KeyStart) / 2;
    n.ValueStart = Align4(p + 2);
    n.ValueBytes = n.Type == 1 ? std::size_t(n.ValueLength) * 2 : n.ValueLength;
    if (n.ValueBytes && (n.ValueStart > n.End || n.ValueBytes > n.End - n.ValueStart))
        return std::nullopt;
    n.ChildrenStart = Align4(n.ValueStart + n.ValueBytes);
    return n;
}

bool KeyIs(const unsigned char* block, const TNode& n, std::string_view name) {
    if (n.KeyLength != name.size()) return false;
    for (std::size_t i = 0; i < n.KeyLength; ++i) {
        const char16_t c = static_cast<char16_t>(Word(block + n.KeyStart + 2 * i));
        const char16_t expected = AnsiCharToWide(static_cast<unsigned char>(name[i]));
        if (WideUpper(c) != WideUpper(expected)) return false;
    }
    return true;
}

std::optional<TNode> Child(const unsigned char* block, const TNode& parent, std::string_view name) {
    std::size_t at = parent.ChildrenStart;
    while (at + 6 <= parent.End) {
        const auto child = NodeAt(block, at, parent.End);
        if (!child) return std::nullopt;
        if (KeyIs(block, *child, name)) return child;
        at = Align4(child->End);
    }
    return std::nullopt;
}

// A block whose root is a VS_VERSION_INFO with a fixed part of the right signature.
bool ValidBlock(const unsigned char* block, std::size_t size) {
    const auto root = NodeAt(block, 0, size);
    if (!root || !KeyIs(block, *root, "VS_VERSION_INFO")) return false;
    if (root->ValueBytes < sizeof(VS_FIXEDFILEINFO)) return root->ValueBytes == 0;
    DWORD signature = 0;
    std::memcpy(&signature, block + root->ValueStart, 4);
    return signature == VS_FFI_SIGNATURE;
}

// The checked block of a file, trimmed to its root length.
std::optional<std::vector<unsigned char>> BlockOf(const std::string& fileName) {
    const TFile file(fileName);
    auto bytes = ReadSection(file);
    if (!bytes || !ValidBlock(bytes->data(), bytes->size())) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return std::nullopt;
    }
    bytes->resize(Word(bytes->data()));
    return bytes;
}

// Room for the 8-bit copies of the texts: each text of n characters at UTF-16 offset o is copied
// to offset size + o / 2, and needs n + 1 bytes at most.
DWORD ReportedSize(std::size_t blockSize) {
    return static_cast<DWORD>(blockSize + blockSize / 2 + 4);
}

} // namespace

DWORD GetFileVersionInfoSizeA(const std::string& fileName, DWORD* handle) {
    if (handle) *handle = 0;
    const auto block = BlockOf(fileName);
    return block ? ReportedSize(block->size()) : 0;
}

BOOL GetFileVersionInfoA(const std::string& fileName, DWORD, DWORD length, void* data) {
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto block = BlockOf(fileName);
    if (!block) return 0;
    if (length < ReportedSize(block->size())) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memset(data, 0, length);
    std::memcpy(data, block->data(), block->size());
    return 1;
}

BOOL VerQueryValueA(const void* data, const std::string& subBlock, void** buffer, UINT* length) {
    if (!data || !buffer || !length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *buffer = nullptr;
    *length = 0;
    const auto* block = static_cast<const unsigned char*>(data);
    const std::size_t size = Word(block);
    auto node = NodeAt(block, 0, size);
    if (!node) return 0;
    std::string_view path = subBlock;
    while (!path.empty()) {
        while (!path.empty() && path.front() == '\\')
            path.remove_prefix(1);
        if (path.empty()) break;
        const auto slash = path.find('\\');
        const std::string_view name = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
        node = Child(block, *node, name);
        if (!node) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return 0;
        }
    }
    if (node->ValueBytes == 0) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    if (node->Type != 1) {
        *buffer = const_cast<unsigned char*>(block + node->ValueStart);
        *length = static_cast<UINT>(node->ValueBytes);
        return 1;
    }
    // A text: its 8-bit copy goes into the room after the block, at a place of its own.
    auto* copy =
        const_cast<char*>(reinterpret_cast<const char*>(block)) + size + node->ValueStart / 2;
    std::size_t n = 0;
    for (; n < node->ValueLength; ++n) {
        const char16_t c = static_cast<char16_t>(Word(block + node->ValueStart + 2 * n));
        if (c == 0) break;
        copy[n] = WideToAnsi(std::u16string_view(&c, 1))[0];
    }
    copy[n] = 0;
    *buffer = copy;
    *length = static_cast<UINT>(n + 1);
    return 1;
}

} // namespace quill::kernel
