// Builds a version block in the version-resource format at compile time, for embedding in a
// module's ELF section ".quill_version" (see QUILL_EMBED_VERSION_BLOCK).
//
// The block is the platform's VS_VERSIONINFO: the fixed file information (signature 0xFEEF04BD,
// file and product version from the four numbers, a library of the NT family), then a
// "StringFileInfo" with one string table under the translation's key (language then code page as
// eight hexadecimal digits, for example 041904E3) holding the given name/value pairs, then a
// "VarFileInfo" whose "Translation" is (language, code page). Texts are UTF-16, every node is
// aligned to 4 bytes, and every length field is that of the format. Everything here is consteval:
// a module carries only the finished bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quill::infra::version_block {

struct TStringPair {
    const char16_t* Name;
    const char16_t* Value;
};

struct TVersionContent {
    std::uint16_t Numbers[4];   // major, minor, release, build
    std::uint16_t Language;     // 0x0419 Russian
    std::uint16_t CodePage;     // 1251
    const TStringPair* Strings; // may be nil when Count is 0
    std::size_t Count;
};

// "a.b.c.d" of four numbers, zero-terminated.
struct TVersionText {
    char16_t Text[24]{};
};

consteval TVersionText VersionText(const std::uint16_t (&numbers)[4]) {
    TVersionText result;
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i) result.Text[pos++] = u'.';
        char16_t digits[5]{};
        int count = 0;
        unsigned value = numbers[i];
        do {
            digits[count++] = static_cast<char16_t>(u'0' + value % 10);
            value /= 10;
        } while (value);
        while (count)
            result.Text[pos++] = digits[--count];
    }
    return result;
}

namespace detail {

// Writes into `Out`, or only counts when `Out` is nil.
struct TWriter {
    std::uint8_t* Out = nullptr;
    std::size_t Pos = 0;

    constexpr void Byte(std::uint8_t b) {
        if (Out) Out[Pos] = b;
        ++Pos;
    }
    constexpr void Word(std::uint16_t w) {
        Byte(static_cast<std::uint8_t>(w & 0xFF));
        Byte(static_cast<std::uint8_t>(w >> 8));
    }
    constexpr void DWord(std::uint32_t d) {
        Word(static_cast<std::uint16_t>(d & 0xFFFF));
        Word(static_cast<std::uint16_t>(d >> 16));
    }
    constexpr void Text(const char16_t* s) {
        while (*s)
            Word(static_cast<std::uint16_t>(*s++));
        Word(0);
    }
    constexpr void Align() {
        while (Pos % 4)
            Byte(0);
    }
    constexpr void Patch(std::size_t at, std::size_t length) {
        if (!Out) return;
        Out[at] = static_cast<std::uint8_t>(length & 0xFF);
        Out[at + 1] = static_cast<std::uint8_t>((length >> 8) & 0xFF);
    }
};

constexpr std::size_t Length(const char16_t* s) {
    std::size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

// Node header: length (patched later), value length, type, key; returns the node's start.
constexpr std::size_t Open(TWriter& w, const char16_t* key, std::uint16_t valueLength,
                           std::uint16_t type) {
    const std::size_t start = w.Pos;
    w.Word(0);
    w.Word(valueLength);
    w.Word(type);
    w.Text(key);
    w.Align();
    return start;
}

constexpr void Close(TWriter& w, std::size_t start) {
    w.Patch(start, w.Pos - start);
}

constexpr void Emit(TWriter& w, const TVersionContent& content) {
    const std::uint32_t ms = (std::uint32_t(content.Numbers[0]) << 16) | content.Numbers[1];
    const std::uint32_t ls = (std::uint32_t(content.Numbers[2]) << 16) | content.Numbers[3];
    const std::size_t root = Open(w, u"VS_VERSION_INFO", 52, 0);
    for (const std::uint32_t field : {0xFEEF04BDu, 0x00010000u, ms, ls, ms, ls, 0x3Fu, 0u,
                                      0x00040004u /* NT, 32-bit */, 2u /* library */, 0u, 0u, 0u})
        w.DWord(field);
    w.Align();

    constexpr char16_t hex[] = u"0123456789ABCDEF";
    char16_t key[9]{};
    const std::uint32_t pair = (std::uint32_t(content.Language) << 16) | content.CodePage;
    for (int i = 0; i < 8; ++i)
        key[i] = hex[(pair >> (28 - 4 * i)) & 15];

    const std::size_t stringInfo = Open(w, u"StringFileInfo", 0, 1);
    const std::size_t table = Open(w, key, 0, 1);
    for (std::size_t i = 0; i < content.Count; ++i) {
        w.Align();
        const std::size_t entry =
            Open(w, content.Strings[i].Name,
                 static_cast<std::uint16_t>(Length(content.Strings[i].Value) + 1), 1);
        w.Text(content.Strings[i].Value);
        Close(w, entry);
    }
    Close(w, table);
    Close(w, stringInfo);
    w.Align();

    const std::size_t varInfo = Open(w, u"VarFileInfo", 0, 1);
    const std::size_t translation = Open(w, u"Translation", 4, 0);
    w.DWord((std::uint32_t(content.CodePage) << 16) | content.Language);
    Close(w, translation);
    Close(w, varInfo);
    Close(w, root);
}

} // namespace detail

consteval std::size_t BlockSize(const TVersionContent& content) {
    detail::TWriter w;
    detail::Emit(w, content);
    return w.Pos;
}

template <std::size_t N>
consteval std::array<std::uint8_t, N> Build(const TVersionContent& content) {
    std::array<std::uint8_t, N> bytes{};
    detail::TWriter w{bytes.data(), 0};
    detail::Emit(w, content);
    return bytes;
}

} // namespace quill::infra::version_block

// Places the version block of `content` (a constexpr TVersionContent) in the module's
// ".quill_version" section. Use once per module, at namespace scope.
#define QUILL_EMBED_VERSION_BLOCK(content)                                                         \
    __attribute__((used, section(".quill_version"),                                                \
                   aligned(4))) constexpr auto QuillVersionBlock =                                 \
        ::quill::infra::version_block::Build<::quill::infra::version_block::BlockSize(content)>(   \
            content)
