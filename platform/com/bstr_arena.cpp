#include "platform/com/bstr_arena.h"

#include "platform/kernel/heap.h"

#include <algorithm>
#include <new>

#if defined(QUILL_CHECKED_TEXT_BLOCKS)
#include <sanitizer/asan_interface.h>
#define QUILL_POISON_TEXT(at, size) ASAN_POISON_MEMORY_REGION(at, size)
#else
#define QUILL_POISON_TEXT(at, size) ((void)(at), (void)(size))
#endif

namespace quill::com {

namespace bstr_layout {

void ReleaseTextBlock(TTextBlock* block, std::uint32_t count) noexcept {
    // The last release sees every other thread's writes to the block before freeing it.
    if (block->Holds.fetch_sub(count, std::memory_order_acq_rel) == count)
        kernel::HeapFreeBlock(block);
}

#if defined(QUILL_CHECKED_TEXT_BLOCKS)
void ForgetBlockText(const OLECHAR* text) noexcept {
    QUILL_POISON_TEXT(SlotOf(text), BlockSlotSize(LengthWord(text)));
}
#endif

} // namespace bstr_layout

namespace {

// Blocks grow from a few texts' worth to 64 KiB: a value with two texts costs little, and a table
// of thousands of texts allocates a block per two thousand or so of them.
constexpr std::size_t kFirstBlockSize = 256;
constexpr std::size_t kLargestBlockSize = 64 * 1024;
// A longer text gets a heap block of its own, so that no block is left mostly unused.
constexpr std::size_t kLargestBlockSlot = kLargestBlockSize / 4;
// The arena's own hold on the block it carves from: more than a block can hold texts, so that
// texts freed while it carves never bring the count to zero.
constexpr std::uint32_t kArenaHold = 1u << 30;

} // namespace

BSTR TBStrArena::AllocateInNewBlock(const char* bytes, UINT length) {
    const std::size_t slot = bstr_layout::BlockSlotSize(length);
    if (slot > kLargestBlockSlot) return SysAllocStringByteLen(bytes, length);
    if (const int error = kernel::FaultInjected(kernel::TFaultKind::Allocation)) {
        errno = error;
        return nullptr;
    }
    std::size_t size = std::max(FNextSize, kFirstBlockSize);
    while (size - sizeof(bstr_layout::TTextBlock) < slot)
        size *= 2;
    void* memory = kernel::HeapAllocate(size);
    if (!memory) return nullptr;
    Retire();
    new (memory) bstr_layout::TTextBlock{{kArenaHold}, static_cast<std::uint32_t>(size)};
    FBlock = static_cast<char*>(memory);
    FUsed = sizeof(bstr_layout::TTextBlock);
    FLeft = size - FUsed;
    FCarved = 0;
    FNextSize = std::min(size * 2, kLargestBlockSize);
    return Carve(bytes, length, slot);
}

void TBStrArena::Retire() noexcept {
    if (!FBlock) return;
    // The unused tail is never handed out: a memory checker reports any access to it.
    QUILL_POISON_TEXT(FBlock + FUsed, FLeft);
    bstr_layout::ReleaseTextBlock(reinterpret_cast<bstr_layout::TTextBlock*>(FBlock),
                                  kArenaHold - FCarved);
    FBlock = nullptr;
    FUsed = 0;
    FLeft = 0;
    FCarved = 0;
}

} // namespace quill::com
