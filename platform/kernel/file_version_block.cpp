// The version block's own structure, read with every length checked against the block: the same
// on every system, so that a damaged block is refused alike and texts come out in Windows-1251
// whatever the system's 8-bit code page.
#include "platform/kernel/file_version_block.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/last_error.h"

#include <cstring>
#include <optional>
#include <string_view>

namespace quill::kernel {

namespace {

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

} // namespace

bool ValidVersionBlock(const unsigned char* block, std::size_t size) {
    const auto root = NodeAt(block, 0, size);
    if (!root || !KeyIs(block, *root, "VS_VERSION_INFO")) return false;
    if (root->ValueBytes < sizeof(VS_FIXEDFILEINFO)) return root->ValueBytes == 0;
    DWORD signature = 0;
    std::memcpy(&signature, block + root->ValueStart, 4);
    return signature == VS_FFI_SIGNATURE;
}

// Room for the 8-bit copies of the texts: each text of n characters at UTF-16 offset o is copied
// to offset size + o / 2, and needs n + 1 bytes at most.
DWORD ReportedVersionInfoSize(std::size_t blockSize) {
    return static_cast<DWORD>(blockSize + blockSize / 2 + 4);
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

DWORD GetFileVersionInfoSizeA(const std::string& fileName, DWORD* handle) {
    if (handle) *handle = 0;
    const auto block = VersionBlockOf(fileName);
    return block ? ReportedVersionInfoSize(block->size()) : 0;
}

BOOL GetFileVersionInfoA(const std::string& fileName, DWORD, DWORD length, void* data) {
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto block = VersionBlockOf(fileName);
    if (!block) return 0;
    if (length < ReportedVersionInfoSize(block->size())) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memset(data, 0, length);
    std::memcpy(data, block->data(), block->size());
    return 1;
}

} // namespace quill::kernel
