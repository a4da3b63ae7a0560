// The heap that the platform's own allocators (BSTRs, safe arrays) and the library's memory
// streams take their raw blocks from: the process heap, behind one door so that a test can make
// an allocation fail (fault_injection.h).
//
// Failures return nil and change nothing, like the C heap; no routine here raises. Blocks are
// freed with HeapFreeBlock only. Thread-safe.
#pragma once

#include <cstddef>

namespace quill::kernel {

// A block of `size` bytes, uninitialised; nil when refused.
void* HeapAllocate(std::size_t size);
// A block of `size` bytes set to zero; nil when refused.
void* HeapAllocateZeroed(std::size_t size);
// `block` (nil: a new one) resized to `size` bytes, keeping its content up to the smaller size;
// nil when refused, and `block` is then untouched.
void* HeapReallocate(void* block, std::size_t size);
// Frees `block`; nil is ignored.
void HeapFreeBlock(void* block);

} // namespace quill::kernel
