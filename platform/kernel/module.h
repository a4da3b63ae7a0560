// The file of a loaded module (GetModuleFileName), found from an address inside it (dladdr on
// Linux), and the module's main thread.
#pragma once

#include <cstdint>
#include <string>

namespace quill::kernel {

// Absolute path of the module (shared library or program) that contains `address`; the path of
// the program itself when the address belongs to no shared library; empty if neither is known.
std::string ModuleFileNameOf(const void* address);
// Absolute path of the running program (/proc/self/exe).
std::string ProgramFileName();
// The id of the module's main thread, as the user services number threads
// (user::GetCurrentThreadId): on Linux the process's first thread, whose id is the process id; on
// Windows the thread that loaded the run-time's module, the one that runs its start-up.
std::uint32_t MainThreadId();

} // namespace quill::kernel
