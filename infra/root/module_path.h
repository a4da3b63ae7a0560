// The library's own file and the long form of paths.
//
// ModuleFileName finds the module that contains this code (the plug-in when linked into it, the
// program in a test) and gives its path in the long form; with `baseOnly` only the file name
// without folder and extension. LibraryFileName is the module's file name with its extension and
// without its folder ("Quill.plu"), as settings name the library: the name the module was loaded
// under, looked up once per process. LongPathName gives the platform's long form of `path`, or
// `path` unchanged when the platform reports an error. IsNtPlatform tells whether the platform is
// of the NT family. Thread-safe; none of them raises.
#pragma once

#include <string>

namespace quill::infra {

std::string ModuleFileName(bool baseOnly = false);
std::string LibraryFileName();
std::string LongPathName(const std::string& path);
bool IsNtPlatform();

} // namespace quill::infra
