// GetLongPathNameA: the long form of a path.
//
// Linux has no short (8.3) aliases, so the long form of an existing path is the path itself; what
// the call still checks, as on the platform, is that every component exists. A missing component
// fails with ERROR_FILE_NOT_FOUND and leaves `longPath` unchanged. Thread-safe.
#pragma once

#include <string>

namespace quill::kernel {

bool GetLongPathNameA(const std::string& shortPath, std::string* longPath);

} // namespace quill::kernel
