#include "platform/kernel/wait_handle.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace quill::kernel::detail {

namespace {

struct TWaitHandles {
    std::mutex Lock;
    std::map<std::uintptr_t, int> Descriptors;
    // Apart from the mutexes' numbers (which count up from 0x100 in steps of 4), so that a handle
    // of one kind is never taken for the other.
    std::uintptr_t Next = 0x40000002;
};

TWaitHandles& Handles() {
    static TWaitHandles* handles = new TWaitHandles; // outlives every thread that waits at exit
    return *handles;
}

} // namespace

HANDLE NewWaitHandle(int fd) {
    TWaitHandles& h = Handles();
    std::lock_guard guard(h.Lock);
    const std::uintptr_t value = h.Next;
    h.Next += 4;
    h.Descriptors.emplace(value, fd);
    return reinterpret_cast<HANDLE>(value);
}

void CloseWaitHandle(HANDLE handle) {
    TWaitHandles& h = Handles();
    std::lock_guard guard(h.Lock);
    h.Descriptors.erase(reinterpret_cast<std::uintptr_t>(handle));
}

int WaitHandleDescriptor(HANDLE handle) {
    TWaitHandles& h = Handles();
    std::lock_guard guard(h.Lock);
    const auto it = h.Descriptors.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == h.Descriptors.end() ? -1 : it->second;
}

} // namespace quill::kernel::detail
