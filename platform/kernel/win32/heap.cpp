// The Windows side of heap.h: the process heap of the system, which every module of the process
// shares (a block may be freed by another module than the one that took it).
#include "platform/kernel/heap.h"

#include "platform/kernel/fault_injection.h"

#include <windows.h>

namespace quill::kernel {

namespace {

bool Refused() {
    if (FaultInjected(TFaultKind::Allocation)) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return true;
    }
    return false;
}

} // namespace

void* HeapAllocate(std::size_t size) {
    return Refused() ? nullptr : ::HeapAlloc(::GetProcessHeap(), 0, size);
}

void* HeapAllocateZeroed(std::size_t size) {
    return Refused() ? nullptr : ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void* HeapReallocate(void* block, std::size_t size) {
    if (Refused()) return nullptr;
    if (!block) return ::HeapAlloc(::GetProcessHeap(), 0, size);
    return ::HeapReAlloc(::GetProcessHeap(), 0, block, size);
}

void HeapFreeBlock(void* block) {
    if (block) ::HeapFree(::GetProcessHeap(), 0, block);
}

} // namespace quill::kernel
