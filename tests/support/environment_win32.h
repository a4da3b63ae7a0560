// setenv and unsetenv for the Windows test programs, which the system's C library lacks: the tests
// set the environment as on Linux, and the process's own environment (which the library reads
// through the system) changes with the C library's copy (_putenv_s sets both). Included into every
// Windows test source by tests/windows.cmake.
#pragma once

#ifdef _WIN32

#include <cstdlib>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name)) return 0;
    // The system keeps no empty values: an empty one removes the name, which every reader here
    // takes alike.
    return ::_putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
    return ::_putenv_s(name, "") == 0 ? 0 : -1;
}

#endif
