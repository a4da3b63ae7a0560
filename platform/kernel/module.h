// The file of a loaded module (GetModuleFileName), found from an address inside it (dladdr on
// Linux), the module's main thread, and libraries loaded by path (LoadLibrary, dlopen on Linux).
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

// A library loaded by its path (UTF-8): a host loading a plug-in or a module of its own. The
// handle stays valid until CloseLibrary; loading the same file twice gives the same library with a
// second reference. Nil, with `why` set to the system's reason (a missing file, a missing
// dependency, a file of another architecture), when it cannot be loaded; the path is the caller's
// to name in its message. Thread-safe.
void* OpenLibrary(const std::string& path, std::string& why);
// The address of the exported function or object `name`; nil when the library has none.
void* LibraryExport(void* module, const char* name);
// Drops the reference OpenLibrary took; the library is unloaded with its last reference.
void CloseLibrary(void* module);

} // namespace quill::kernel
