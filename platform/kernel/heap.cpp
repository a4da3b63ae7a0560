#include "platform/kernel/heap.h"

#include "platform/kernel/fault_injection.h"

#include <cerrno>
#include <cstdlib>

namespace quill::kernel {

namespace {

bool Refused() {
    if (const int error = FaultInjected(TFaultKind::Allocation)) {
        errno = error;
        return true;
    }
    return false;
}

} // namespace

void* HeapAllocate(std::size_t size) {
    return Refused() ? nullptr : std::malloc(size);
}

void* HeapAllocateZeroed(std::size_t size) {
    return Refused() ? nullptr : std::calloc(1, size);
}

void* HeapReallocate(void* block, std::size_t size) {
    return Refused() ? nullptr : std::realloc(block, size);
}

void HeapFreeBlock(void* block) {
    std::free(block);
}

} // namespace quill::kernel
