// A second module with its own copy of the run-time, for the tests of names shared by the modules
// of one process (win32/kernel_process_names_test.cpp): it claims, publishes, reads and lets go of
// names as another plug-in of the process would.
#include "platform/kernel/process_names.h"

#include <cstring>

namespace {
// What this module holds its names for.
int gHolder;
} // namespace

extern "C" __declspec(dllexport) int PeerClaim(const char* name) {
    return quill::kernel::ClaimProcessName(name, &gHolder) ? 1 : 0;
}

extern "C" __declspec(dllexport) int PeerPublish(const char* name, const char* text) {
    return quill::kernel::PublishProcessText(name, &gHolder, text) ? 1 : 0;
}

extern "C" __declspec(dllexport) void PeerRelease(const char* name) {
    quill::kernel::ReleaseProcessName(name, &gHolder);
}

// The text published under `name`, cut to `size` - 1 bytes.
extern "C" __declspec(dllexport) void PeerText(const char* name, char* text, int size) {
    const std::string found = quill::kernel::ProcessText(name);
    const std::size_t n = found.size() < static_cast<std::size_t>(size)
                              ? found.size()
                              : static_cast<std::size_t>(size - 1);
    std::memcpy(text, found.data(), n);
    text[n] = 0;
}
