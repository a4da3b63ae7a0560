# Cross-compiles for 32-bit Windows with MinGW-w64 (the POSIX-threads variant, for std::thread and
# std::mutex), and runs the programs it builds under Wine so that CTest and test discovery work.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(QUILL_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILL_MINGW_PREFIX}-windres)
set(QUILL_WIDL ${QUILL_MINGW_PREFIX}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# 32-bit Wine; the prefix and display come from the environment (scripts/test.sh --windows).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
