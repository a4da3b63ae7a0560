# The 32-bit Windows build (cmake/toolchain-i686-w64-mingw32.cmake): Quill.plu as a PE library on
# the real Win32, COM and XML services, and the test programs that run under Wine.
#
# The platform contract's names are the system's own here. The Linux stand-ins behind them (listed
# below) are not built; each has a Windows side in a win32/ folder beside it. Everything is linked
# statically, C++ run-time included, so that Quill.plu imports only system libraries.

# The Linux stand-ins: what they do, the system does on Windows.
set(QUILL_STAND_INS
  platform/com/apartment.cpp platform/com/bstr.cpp platform/com/bstr_arena.cpp
  platform/com/com_safearray.cpp platform/com/errorinfo.cpp platform/com/guid.cpp
  platform/com/running_object_table.cpp platform/com/variant.cpp
  platform/kernel/file_calls.cpp platform/kernel/file_error.cpp platform/kernel/file_handle.cpp
  platform/kernel/file_lock_flock.cpp platform/kernel/file_replace.cpp platform/kernel/file_version.cpp
  platform/kernel/files.cpp platform/kernel/folders.cpp platform/kernel/last_error.cpp
  platform/kernel/local_time.cpp platform/kernel/long_path.cpp platform/kernel/module.cpp
  platform/kernel/named_file_read.cpp platform/kernel/named_mutex.cpp
  platform/kernel/special_folders.cpp platform/kernel/system_info.cpp
  platform/kernel/heap.cpp platform/kernel/locale.cpp platform/kernel/security.cpp
  platform/kernel/process_names.cpp
  platform/user/keysym_keys.cpp platform/user/keyboard_bridge.cpp
  platform/user/queue_wait.cpp platform/user/user_state.cpp
  platform/user/handle_wait.cpp platform/user/input_device.cpp
  platform/kernel/console.cpp platform/kernel/wait_handle.cpp
  platform/user/beep.cpp platform/user/clock.cpp platform/user/key_state.cpp
  platform/user/keyboard_hook.cpp platform/user/keyboard_input.cpp
  platform/user/keyboard_wiring.cpp platform/user/message_queue.cpp platform/user/timer.cpp
  platform/user/to_ascii.cpp platform/user/window.cpp platform/user/virtual_key_scan.cpp
  platform/ui/form_backend.cpp platform/ui/terminal/terminal_form.cpp
  platform/xml/dom_document.cpp platform/xml/dom_load_filters.cpp platform/xml/dom_node.cpp
  platform/xml/dom_serialise.cpp platform/xml/dom_tree.cpp
  platform/runtime_lifecycle.cpp)
list(TRANSFORM QUILL_STAND_INS PREPEND ${CMAKE_SOURCE_DIR}/)

add_compile_options(-Wall -Wextra -Wno-missing-field-initializers -Wno-restrict)
# Windows 7 is the oldest system the library's services are asked of.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
# One copy of the C and C++ run-times inside every module: nothing to ship beside it.
add_link_options(-static -static-libgcc -static-libstdc++)

find_package(Threads REQUIRED)
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

# The run-time: the platform contract over the system's services, and the classes that cross the
# module boundary. A static library here: each module carries its own copy.
quill_glob(RT_SOURCES platform platform/com platform/kernel platform/rtl platform/user platform/xml platform/ui
                      infra/codes exchange/params)
list(REMOVE_ITEM RT_SOURCES ${QUILL_STAND_INS})
quill_glob_recurse(RT_WIN32_SOURCES platform)
list(FILTER RT_WIN32_SOURCES INCLUDE REGEX "/win32/[^/]*\\.cpp$")
add_library(quillrt STATIC ${RT_SOURCES} ${RT_WIN32_SOURCES})
# Linux key codes are data (a recording of a Linux keyboard replays here too): the kernel's header
# of them, which has no MinGW counterpart, is read from Linux's own headers (linux-libc-dev).
set(QUILL_EVDEV_CODES /usr/include/linux/input-event-codes.h)
if(NOT EXISTS ${QUILL_EVDEV_CODES})
  message(FATAL_ERROR "${QUILL_EVDEV_CODES} is missing: install linux-libc-dev")
endif()
configure_file(${QUILL_EVDEV_CODES} ${CMAKE_BINARY_DIR}/evdev-codes/linux/input-event-codes.h COPYONLY)
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/user/evdev_keymap.cpp PROPERTIES
                            INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/evdev-codes)
target_include_directories(quillrt PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(quillrt PUBLIC Threads::Threads ole32 oleaut32 uuid user32 kernel32 advapi32
                                     shell32 comctl32 gdi32 version)

# Everything else of the plug-in.
quill_glob_recurse(CORE_SOURCES infra exchange registry capture plugin)
list(FILTER CORE_SOURCES EXCLUDE REGEX "/(infra/codes|exchange/params|plugin/entry)/")
# The storage file's compressor: zlib here (libdeflate has no Windows package), the same stream.
list(FILTER CORE_SOURCES EXCLUDE REGEX "/libdeflate/")
# The version block is a resource here (plugin/entry/resources.rc.in), not an ELF section.
list(REMOVE_ITEM CORE_SOURCES ${CMAKE_SOURCE_DIR}/infra/version/own_version_block.cpp)
add_library(quillcore STATIC ${CORE_SOURCES})
target_link_libraries(quillcore PUBLIC quillrt ZLIB::ZLIB)
target_compile_definitions(quillcore PUBLIC
  QUILL_VERSION_MAJOR=${PROJECT_VERSION_MAJOR} QUILL_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  QUILL_VERSION_PATCH=${PROJECT_VERSION_PATCH} QUILL_VERSION_TWEAK=${PROJECT_VERSION_TWEAK})

# The plug-in: exactly three undecorated exports, named by the .def file.
quill_glob(ENTRY_SOURCES plugin/entry)
# The type library resource, compiled from its IDL with widl against Wine's system IDL files.
set(QUILL_TYPE_LIBRARY ${CMAKE_BINARY_DIR}/Quill.tlb)
add_custom_command(OUTPUT ${QUILL_TYPE_LIBRARY}
  COMMAND ${QUILL_WIDL} -I/usr/include/wine/wine/windows -L/usr/lib/i386-linux-gnu/wine/i386-windows
          -t -o ${QUILL_TYPE_LIBRARY} ${CMAKE_SOURCE_DIR}/exchange/valuearray/type_library.idl
  DEPENDS ${CMAKE_SOURCE_DIR}/exchange/valuearray/type_library.idl VERBATIM)
configure_file(${CMAKE_SOURCE_DIR}/plugin/entry/resources.rc.in ${CMAKE_BINARY_DIR}/resources.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/resources.rc PROPERTIES OBJECT_DEPENDS ${QUILL_TYPE_LIBRARY})
add_library(Quill SHARED ${ENTRY_SOURCES} ${CMAKE_SOURCE_DIR}/plugin/entry/Quill.def
                         ${CMAKE_BINARY_DIR}/resources.rc)
set_target_properties(Quill PROPERTIES PREFIX "" SUFFIX ".plu" OUTPUT_NAME "Quill")
target_link_libraries(Quill PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,quillcore>" quillrt)
target_link_options(Quill PRIVATE -Wl,--enable-stdcall-fixup -Wl,--no-undefined)

# The reference host: the host's shared sources (options, session, event sink, devices, recordings,
# output) with the Windows window and main in host/win32/ instead of the Linux-only files below.
set(QUILL_HOST_LINUX_ONLY
  # the terminal, input devices and the keyboard bridge's loop: Linux's ways of getting keys
  host/main.cpp host/event_loop.cpp host/evdev_source.cpp host/input_event_decoder.cpp
  host/key_source.cpp
  # an installation's folders (lib/quill beside bin): quill-host.exe loads the Quill.plu beside it
  host/module_location.cpp
  # --gui's toolkit window, a module loaded beside the program
  host/window_host.cpp)
list(TRANSFORM QUILL_HOST_LINUX_ONLY PREPEND ${CMAKE_SOURCE_DIR}/)
quill_glob(HOST_SOURCES host host/win32)
list(REMOVE_ITEM HOST_SOURCES ${QUILL_HOST_LINUX_ONLY})
add_executable(quill-host ${HOST_SOURCES})
target_link_libraries(quill-host PRIVATE quillrt)
add_dependencies(quill-host Quill)

# GoogleTest from Debian's sources, built with the same compiler.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()
add_subdirectory(tests)

# Benchmark programs, on Google Benchmark built from Debian's source package (there is no MinGW
# package of it): scripts/setup_windows.sh fetches it and names it here.
set(QUILL_BENCHMARK_SOURCE "" CACHE PATH "Google Benchmark's sources, for the Windows benchmarks")
if(QUILL_BENCH AND QUILL_BENCHMARK_SOURCE)
  set(BENCHMARK_ENABLE_TESTING OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_GTEST_TESTS OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_INSTALL OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_WERROR OFF CACHE BOOL "" FORCE)
  # Debian's source reads its version from no git tags: "0.0.0" makes it take project()'s.
  set(GIT_VERSION "0.0.0")
  add_subdirectory(${QUILL_BENCHMARK_SOURCE} ${CMAKE_BINARY_DIR}/benchmark EXCLUDE_FROM_ALL)
  foreach(name storage_file dispatch)
    add_executable(bench-${name} ${CMAKE_SOURCE_DIR}/bench/${name}.cpp)
    target_link_libraries(bench-${name} PRIVATE quillcore benchmark::benchmark)
  endforeach()
  # The capture's hook through the system's input path: a program of its own here, as keys reach
  # a thread through its focused window rather than a chosen focus thread.
  add_executable(bench-capture_hook ${CMAKE_SOURCE_DIR}/bench/win32/capture_hook.cpp)
  target_link_libraries(bench-capture_hook PRIVATE quillcore benchmark::benchmark)
endif()
