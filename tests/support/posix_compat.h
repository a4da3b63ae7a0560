// What the test programs take from POSIX and MinGW's C run-time lacks: setenv, unsetenv and
// mkdtemp, over the run-time's own _putenv_s, _mktemp_s and _mkdir. Every Windows test program is
// given it with -include (tests/windows.cmake); the Linux build never sees it.
#pragma once

#ifdef _WIN32
#include <cstdlib>
#include <cstring>
#include <direct.h>
#include <io.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name)) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable.
inline int unsetenv(const char* name) {
    return _putenv_s(name, "") == 0 ? 0 : -1;
}

inline char* mkdtemp(char* pattern) {
    if (_mktemp_s(pattern, std::strlen(pattern) + 1) != 0) return nullptr;
    return _mkdir(pattern) == 0 ? pattern : nullptr;
}
#endif
