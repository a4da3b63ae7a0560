// libdeflate's allocations in the fault tests: it allocates its compressor and decompressor
// through the C library, not through the platform, so without this a walk over "the Nth
// allocation fails" would never fail the storage file's (de)compression. The replacement asks the
// fault switch first and is otherwise malloc; it is installed before main, while no (de)compressor
// exists, as libdeflate requires.
//
// libxml2 takes a replacement allocator too, but the system's libxml2 (2.9) is not safe against a
// failed allocation: failing one inside a parse crashes it in xmlParseDocument. Its allocations
// are therefore left to the C library; the DOM's own allocations are walked through operator new.
#include "platform/kernel/fault_injection.h"

#include <libdeflate.h>

#include <cstdlib>

namespace {

void* Allocate(std::size_t size) {
    if (quill::kernel::FaultInjected(quill::kernel::TFaultKind::Allocation)) return nullptr;
    return std::malloc(size);
}

void Release(void* p) {
    std::free(p);
}

[[maybe_unused]] const bool gInstalled = [] {
    libdeflate_set_memory_allocator(Allocate, Release);
    return true;
}();

} // namespace
