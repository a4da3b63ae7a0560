// TBStrArena: allocates the many short texts of a table being read from shared blocks instead of
// one heap block each.
//
// A table of a hundred thousand cells holds tens of thousands of texts; allocating and freeing
// each on its own costs more than reading them. An arena carves consecutive texts out of blocks
// of up to 64 KiB (the first ones small, so that a few texts cost little) and each block counts
// its live texts. What it hands out are ordinary BSTRs: the owner frees each with SysFreeString
// (or VariantClear, SafeArrayDestroy) whenever and on whatever thread it likes, SysStringLen and
// the rest work on them, and nothing about them depends on the arena still existing. The price: a
// block's memory is returned only when the last of its texts is freed, so a single text that
// outlives its table keeps its block. Texts too long for a block get a heap block of their own.
//
// Every text is one allocation step for fault injection, and every new block another, so that a
// test can fail the Nth allocation of a load exactly as with one heap block per text.
//
// Errors: AllocateByteLen returns nil when memory is exhausted, as SysAllocStringByteLen does, and
// the arena stays usable. An arena belongs to one thread at a time.
//
// On Windows every text must be the system's own allocation (the host frees them with the
// system's SysFreeString), so none can be carved out of a shared block: there the arena allocates
// each text with SysAllocStringByteLen behind the same interface.
#pragma once

#include "platform/com/bstr.h"

#if defined(_WIN32)

namespace quill::com {

class TBStrArena {
  public:
    TBStrArena() = default;
    TBStrArena(const TBStrArena&) = delete;
    TBStrArena& operator=(const TBStrArena&) = delete;

    // As SysAllocStringByteLen (which it is here).
    BSTR AllocateByteLen(const char* bytes, UINT length) {
        return SysAllocStringByteLen(bytes, length);
    }
};

} // namespace quill::com

#else

#include "platform/com/bstr_layout.h"
#include "platform/kernel/fault_injection.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quill::com {

class TBStrArena {
  public:
    TBStrArena() = default;
    TBStrArena(const TBStrArena&) = delete;
    TBStrArena& operator=(const TBStrArena&) = delete;
    // Gives up the arena's hold on its current block; the texts stay valid.
    ~TBStrArena() { Retire(); }

    // As SysAllocStringByteLen: a text of `length` bytes copied from `bytes` (zero bytes when
    // `bytes` is nil), owned by the caller; nil when memory is exhausted or `length` is too large
    // for any text.
    BSTR AllocateByteLen(const char* bytes, UINT length) {
        const std::size_t slot = bstr_layout::BlockSlotSize(length);
        if (slot <= FLeft) [[likely]] {
            if (const int error = kernel::FaultInjected(kernel::TFaultKind::Allocation)) {
                errno = error;
                return nullptr;
            }
            return Carve(bytes, length, slot);
        }
        return AllocateInNewBlock(bytes, length);
    }

  private:
    BSTR Carve(const char* bytes, UINT length, std::size_t slot) {
        char* at = FBlock + FUsed;
        const auto offset = static_cast<std::uint32_t>(FUsed);
        std::memcpy(at, &offset, 4);
        std::memcpy(at + 4, &length, 4);
        char* text = at + bstr_layout::kTextHeader;
        if (bytes)
            CopyShort(text, bytes, length);
        else
            std::memset(text, 0, length);
        std::memset(text + length, 0, bstr_layout::kTerminator);
        FUsed += slot;
        FLeft -= slot;
        ++FCarved;
        return reinterpret_cast<BSTR>(text);
    }
    // A table's texts are mostly a few words: copied with moves of fixed sizes (overlapping at
    // the middle) rather than a call to the general copy, which costs more than the copy itself.
    static void CopyShort(char* to, const char* from, std::size_t length) {
        if (length > 32) {
            std::memcpy(to, from, length);
        } else if (length > 16) {
            std::memcpy(to, from, 16);
            std::memcpy(to + length - 16, from + length - 16, 16);
        } else if (length >= 8) {
            std::memcpy(to, from, 8);
            std::memcpy(to + length - 8, from + length - 8, 8);
        } else if (length >= 4) {
            std::memcpy(to, from, 4);
            std::memcpy(to + length - 4, from + length - 4, 4);
        } else {
            for (std::size_t i = 0; i < length; ++i)
                to[i] = from[i];
        }
    }
    BSTR AllocateInNewBlock(const char* bytes, UINT length);
    void Retire() noexcept;

    char* FBlock = nullptr;    // the block being carved, nil before the first text
    std::size_t FUsed = 0;     // bytes of it in use, its head included
    std::size_t FLeft = 0;     // bytes of it still free
    std::uint32_t FCarved = 0; // texts carved from it
    std::size_t FNextSize = 0; // size of the next block, 0 before the first
};

} // namespace quill::com

#endif
