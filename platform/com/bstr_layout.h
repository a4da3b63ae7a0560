// The two forms a BSTR takes in memory, shared by the allocator (bstr.cpp), the block allocator
// (bstr_arena.h) and the safe-array code that frees many texts at once.
//
// Every BSTR points at its first character, with its 32-bit byte length, and nothing else, in the
// four bytes before it: code on either side of the interface may read that word directly. Before
// the length word lies a 32-bit home word. A text of its own heap block has 0 there, and the
// block starts at the home word. A text carved out of a shared text block (TBStrArena) has there
// the offset from the start of its block back to this text's slot (never 0: the block's head comes
// first); the block counts the texts still alive in it and is freed with the last of them.
// Thread-safe: a block's count is atomic, so texts of one block may be freed on any threads.
#pragma once

#include "platform/com/bstr.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quill::com {

namespace bstr_layout {

// Length word of every text, and the home word before it: the prefix of every text.
constexpr std::size_t kLengthWord = 4;
constexpr std::size_t kTextHeader = 8;
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

// Whether `text` was carved out of a shared block (else it has a heap block of its own).
inline bool IsBlockText(const OLECHAR* text) {
    std::uint32_t home;
    std::memcpy(&home, reinterpret_cast<const char*>(text) - kTextHeader, 4);
    return home != 0;
}

// Bytes of the slot of a block text of `bytes` bytes, a multiple of 8 so that the next slot's
// words and characters stay aligned as a heap text's are.
constexpr std::size_t BlockSlotSize(std::size_t bytes) {
    return (kTextHeader + bytes + kTerminator + 7) & ~std::size_t{7};
}

inline char* SlotOf(const OLECHAR* text) {
    return reinterpret_cast<char*>(const_cast<OLECHAR*>(text)) - kTextHeader;
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
        if (!IsBlockText(text)) {
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
