// The global operator new of the fault tests: every C++ allocation of the program asks the
// platform's fault switch first, so that a walk over "the Nth allocation fails" covers the
// library's containers and objects as well as the platform's own heap blocks.
#include "platform/kernel/fault_injection.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

void* Allocate(std::size_t size) {
    if (quill::kernel::FaultInjected(quill::kernel::TFaultKind::Allocation)) return nullptr;
    return std::malloc(size ? size : 1);
}

// Over-aligned blocks are carved out of a plain one, whose start is kept just before the block: not
// every C library has aligned_alloc (Windows' does not), and all of them free a plain block alike.
void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    if (quill::kernel::FaultInjected(quill::kernel::TFaultKind::Allocation)) return nullptr;
    const auto align = static_cast<std::size_t>(alignment);
    void* raw = std::malloc(size + align + sizeof(void*));
    if (!raw) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    void* block = reinterpret_cast<void*>((start + align - 1) / align * align);
    static_cast<void**>(block)[-1] = raw;
    return block;
}

void FreeAligned(void* block) {
    if (block) std::free(static_cast<void**>(block)[-1]);
}

} // namespace

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* p = AllocateAligned(size, alignment)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    if (void* p = AllocateAligned(size, alignment)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    FreeAligned(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    FreeAligned(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    FreeAligned(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    FreeAligned(p);
}
