// The two forms a BSTR takes in memory, shared by the allocator (bstr.cpp), the block allocator
// (bstr_arena.h) and the safe-array code that frees many texts at once.
//
// Every BSTR points at its first character, with its 32-bit byte length in the four bytes before
// it. A text of its own heap block has the length word at the start of that block. A text carved
// out of a shared text block (TBStrArena) has the top bit of its length word set, and before the
// length word a 32-bit offset from the start of its block back to this text's slot; the block
// counts the texts still alive in it and is freed with the last of them. Lengths are therefore
// below 2 GiB, as on the platform. Thread-safe: a block's count is atomic, so texts of one block
// may be freed on any threads.
#pragma once

#include "platform/com/bstr.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quill::com {

namespace bstr_layout {

constexpr std::uint32_t kBlockTextFlag = 0x80000000u;
constexpr std::uint32_t kLengthMask = 0x7FFFFFFFu;
// Length word of every text; offset word before it for a block text.
constexpr std::size_t kLengthWord = 4;
constexpr std::size_t kBlockTextHeader = 8;
// After the characters: a zero character, and one more zero byte so that a text of an odd byte
// count still ends in a whole zero character.
constexpr std::size_t kTerminator = sizeof(OLECHAR) + 1;

// The head of a shared text block; the texts' slots follow it.
struct TTextBlock {
    // Texts alive in the block, plus a large hold while an arena is still carving from it.
    std::atomic<std::uint32_t> Holds;
    std::uint32_t Size; // bytes of the whole block
};
static_assert(sizeof(TTextBlock) == 8, "slots start 8-aligned after the block head");

inline std::uint32_t LengthWord(const OLECHAR* text) {
    std::uint32_t word;
    std::memcpy(&word, reinterpret_cast<const char*>(text) - kLengthWord, kLengthWord);
    return word;
}

// Bytes of the slot of a block text of `bytes` bytes, a multiple of 8 so that the next slot's
// words and characters stay aligned as a heap text's are.
constexpr std::size_t BlockSlotSize(std::size_t bytes) {
    return (kBlockTextHeader + bytes + kTerminator + 7) & ~std::size_t{7};
}

inline char* SlotOf(const OLECHAR* text) {
    return reinterpret_cast<char*>(const_cast<OLECHAR*>(text)) - kBlockTextHeader;
}

inline TTextBlock* BlockOf(const OLECHAR* text) {
    std::uint32_t offset;
    std::memcpy(&offset, SlotOf(text), 4);
    return reinterpret_cast<TTextBlock*>(SlotOf(text) - offset);
}

// Gives up `count` holds on `block`; the block is freed when none are left.
void ReleaseTextBlock(TTextBlock* block, std::uint32_t count) noexcept;
// Marks the slot of a block text as gone, so that a memory checker reports a later use of it (the
// block itself stays allocated until its last text goes). Nothing in an ordinary build.
#if defined(__SANITIZE_ADDRESS__)
#define QUILL_CHECKED_TEXT_BLOCKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILL_CHECKED_TEXT_BLOCKS 1
#endif
#endif
#if defined(QUILL_CHECKED_TEXT_BLOCKS)
void ForgetBlockText(const OLECHAR* text) noexcept;
#else
inline void ForgetBlockText(const OLECHAR*) noexcept {}
#endif

// Frees many texts, releasing their blocks once per run of texts from the same block rather than
// once per text: a table's texts lie in their blocks in the order they were read. Owned by one
// thread; the last run is released on destruction.
class TTextReleaser {
  public:
    TTextReleaser() = default;
    TTextReleaser(const TTextReleaser&) = delete;
    TTextReleaser& operator=(const TTextReleaser&) = delete;
    ~TTextReleaser() { Flush(); }

    // As SysFreeString; nil is ignored.
    void Free(BSTR text) noexcept {
        if (!text) return;
        // A text that lies inside the block of the run is one of its texts: nothing else can
        // occupy a live block's memory, and the run's own holds keep the block alive. Knowing
        // that from the address spares reading the text's words, which lie in a cache line of
        // their own for each text of a table.
        const auto at = reinterpret_cast<std::uintptr_t>(text);
        const auto run = reinterpret_cast<std::uintptr_t>(FBlock);
        if (at > run && at < run + FSize) {
            ForgetBlockText(text);
            ++FCount;
            return;
        }
        const std::uint32_t word = LengthWord(text);
        if (!(word & kBlockTextFlag)) {
            SysFreeString(text);
            return;
        }
        TTextBlock* block = BlockOf(text);
        ForgetBlockText(text);
        Flush();
        FBlock = block;
        FSize = block->Size;
        FCount = 1;
    }
    void Flush() noexcept {
        if (FBlock) ReleaseTextBlock(FBlock, FCount);
        FBlock = nullptr;
        FSize = 0;
        FCount = 0;
    }

  private:
    TTextBlock* FBlock = nullptr; // the block of the run, nil before the first
    std::uint32_t FSize = 0;      // its size
    std::uint32_t FCount = 0;     // texts of the run
};

} // namespace bstr_layout

} // namespace quill::com
