// The file of a loaded module (GetModuleFileName), found from an address inside it with dladdr.
#pragma once

#include <string>

namespace quill::kernel {

// Absolute path of the module (shared library or program) that contains `address`; the path of
// the program itself when the address belongs to no shared library; empty if neither is known.
std::string ModuleFileNameOf(const void* address);
// Absolute path of the running program (/proc/self/exe).
std::string ProgramFileName();

} // namespace quill::kernel
