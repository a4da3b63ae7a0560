# The test programs of the Windows build, run under Wine by CTest (the toolchain's emulator).
#
# Each folder's program is built from the folder's tests minus those that exist to check a Linux
# stand-in's own machinery or that drive Linux-only programs; what stays checks the library over
# the system's own services. Tests of the Windows side of platform/ live in win32/.
set(QUILL_WINDOWS_TEST_FOLDERS infra exchange registry plugin capture faults win32)

# Linux-only tests, each for the reason given.
set(QUILL_LINUX_ONLY_TESTS
  # the fault walks swap libdeflate and operator new in a shared run-time
  faults/failing_libdeflate.cpp
  # the emulated input path and its virtual clock drive these; the real hook is tested apart
  capture/keyboard_bridge_test.cpp
  # a save through a symbolic link; a child with its address space limited (setrlimit) reads a
  # sparse file of 3 GB
  exchange/storage_file_linux_test.cpp
  # the Linux file rules: modes, sticky folders, other users' plants, FIFOs, links and processes
  # made by fork; win32/kernel_files_test.cpp checks what the Windows side does instead
  infra/log_files_linux_test.cpp
  exchange/atomic_save_test.cpp
  plugin/scanner_tuning_linux_test.cpp
  # the scanner list through the emulated input path (keys given to a chosen focus thread) on the
  # virtual clock, whose time-outs the system's timers cannot follow; the framer's own state
  # machine (framer_test.cpp, every key script) runs on Windows, and the hook, timers and
  # synthetic keys over the system's input are tested in win32/
  capture/capture_harness.cpp capture/capture_script_test.cpp capture/manager_test.cpp
  # which backend a dialog gets without a display or terminal: Linux's choice; on Windows the
  # native backend is always there (win32/form_backend_test.cpp)
  capture/settings_dialog_headless_test.cpp
  # the call entry's thread checks driven by the emulated input path's focus thread and the
  # virtual clock
  plugin/thread_entry_test.cpp
)
list(TRANSFORM QUILL_LINUX_ONLY_TESTS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)

# The DOM over the system's XML component: the DOM's own tests and those of its Windows side, in a
# program of their own that needs only the run-time.
set(QUILL_XML_TESTS platform/xml_dom_test.cpp win32/xml_component_test.cpp
                    win32/xml_text_filters_test.cpp)
list(TRANSFORM QUILL_XML_TESTS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
add_executable(quill-tests-xml ${QUILL_XML_TESTS})
target_include_directories(quill-tests-xml PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(quill-tests-xml PRIVATE quillrt GTest::gtest GTest::gtest_main)
# One CTest test for the program, as for the folders' programs below.
add_test(NAME quill-tests-xml COMMAND quill-tests-xml)

# The key scripts of capture/ through the real hook, in a program of their own: they run on the
# system's clock for a while, in a window that holds the keyboard focus throughout.
set(QUILL_KEY_SCRIPT_TESTS win32/key_script_runner.cpp win32/key_script_test.cpp)
list(TRANSFORM QUILL_KEY_SCRIPT_TESTS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
# Two small libraries with version 1.2.3.4 for the version-information tests, as DLLs with a
# version resource: one with a "FileVersion" text, one with the fixed version only.
foreach(sample sample plain)
  add_library(quill-version-${sample} SHARED version_sample_library.cpp version_sample.rc)
  target_include_directories(quill-version-${sample} PRIVATE ${CMAKE_SOURCE_DIR})
endforeach()
target_compile_definitions(quill-version-sample PRIVATE QUILL_SAMPLE_FILE_VERSION_TEXT)

# A second module with its own copy of the run-time, for the names shared by the modules of one
# process.
add_library(quill-process-names-peer SHARED process_names_peer.cpp)
target_link_libraries(quill-process-names-peer PRIVATE quillrt)

# Tests of platform/ that mean the same on Windows run in the win32 program beside the Windows
# side's own: the kernel services and the contract's COM tests. The rest of tests/platform checks
# the Linux stand-ins: the lock files of named mutexes, the language from the environment, the file
# rules, codepage_test's comparison with iconv (win32/kernel_system_test.cpp compares with the
# system's code pages instead), the texts carved out of shared blocks (bstr_arena_test) and the
# stand-in running-object table's own counts and order (win32/com_system_test.cpp checks the
# system's side of both).
set(QUILL_WINDOWS_PLATFORM_TESTS platform/kernel_services_test.cpp platform/variant_test.cpp
                                 platform/dispatch_test.cpp platform/com_safearray_overwrite_test.cpp)
list(TRANSFORM QUILL_WINDOWS_PLATFORM_TESTS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)

# Single Linux-only tests inside files that otherwise run here, per program (a GTest filter).
set(QUILL_WINDOWS_TEST_FILTER_win32
  # the stand-in's arrays of no elements have no data block; the system's have one
  -SafeArrayForOverwrite.NoElementsMeansNoDataBlock)
set(QUILL_WINDOWS_TEST_FILTER_plugin
  # the system's asynchronous key state follows injected keys only once it has delivered them to
  # a focused thread's queue; the real input path is tested with the hook on Windows
  -ScannerTuning.ReleaseModifierKeysLeavesNoModifierDown)

file(GLOB support_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
list(FILTER support_sources EXCLUDE REGEX "/(x_session|screenshot)\\.cpp$")
# The program of the key scripts (listed above), with the pieces it shares with the Linux harness
# and the win32 program.
set(shared win32/focus_window.cpp capture/key_script.cpp capture/scanner_list_script.cpp)
list(TRANSFORM shared PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
add_executable(quill-tests-key-scripts ${QUILL_KEY_SCRIPT_TESTS} ${shared} ${support_sources})
target_include_directories(quill-tests-key-scripts PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(quill-tests-key-scripts PRIVATE quillcore GTest::gtest GTest::gmock)
target_compile_options(quill-tests-key-scripts PRIVATE
  -include ${CMAKE_CURRENT_SOURCE_DIR}/support/environment_win32.h)
target_compile_definitions(quill-tests-key-scripts PRIVATE
                           QUILL_TEST_SOURCE="Z:${CMAKE_CURRENT_SOURCE_DIR}")
add_test(NAME quill-tests-key-scripts COMMAND quill-tests-key-scripts)
# Keys that SendInput enters go to the desktop's focused window, whichever program of the Wine
# prefix it belongs to: the programs that type into a focused window of their own run one at a
# time (ctest -j would otherwise hand one program's keys to another's window).
set(QUILL_WINDOWS_KEYBOARD_TESTS quill-tests-key-scripts quill-tests-win32 quill-tests-plugin)

foreach(folder ${QUILL_WINDOWS_TEST_FOLDERS})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(sources)
    list(REMOVE_ITEM sources ${QUILL_LINUX_ONLY_TESTS} ${QUILL_XML_TESTS} ${QUILL_KEY_SCRIPT_TESTS})
  endif()
  if(folder STREQUAL "win32")
    list(APPEND sources ${QUILL_WINDOWS_PLATFORM_TESTS})
  endif()
  if(NOT sources)
    continue()
  endif()
  string(REPLACE "/" "-" name ${folder})
  set(target quill-tests-${name})
  add_executable(${target} ${sources} ${support_sources})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE quillcore GTest::gtest GTest::gmock)
  # The tests set their environment with setenv and unsetenv, as on Linux.
  target_compile_options(${target} PRIVATE
    -include ${CMAKE_CURRENT_SOURCE_DIR}/support/environment_win32.h)
  # Paths as the programs see them under Wine, whose drive Z: is the Linux root.
  target_compile_definitions(${target} PRIVATE
    QUILL_PLU_PATH="Z:$<TARGET_FILE:Quill>"
    QUILL_PLU_PATH_W=L"Z:$<TARGET_FILE:Quill>"
    QUILL_TEST_DATA="Z:${CMAKE_CURRENT_SOURCE_DIR}/data"
    QUILL_TEST_SOURCE="Z:${CMAKE_CURRENT_SOURCE_DIR}"
    QUILL_BINARY_DIR="Z:${CMAKE_BINARY_DIR}")
  add_dependencies(${target} Quill)
  if(folder STREQUAL "plugin")
    # The driver object's identity is read from the program's own version resource.
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/plugin/test_version.rc)
  endif()
  if(folder STREQUAL "infra")
    target_compile_definitions(${target} PRIVATE
      QUILL_VERSION_SAMPLE="Z:$<TARGET_FILE:quill-version-sample>"
      QUILL_VERSION_PLAIN="Z:$<TARGET_FILE:quill-version-plain>")
    add_dependencies(${target} quill-version-sample quill-version-plain)
  endif()
  if(folder STREQUAL "win32")
    target_compile_definitions(${target} PRIVATE
      QUILL_PROCESS_NAMES_PEER="Z:$<TARGET_FILE:quill-process-names-peer>")
    add_dependencies(${target} quill-process-names-peer)
  endif()
  set(filter)
  if(QUILL_WINDOWS_TEST_FILTER_${folder})
    set(filter --gtest_filter=${QUILL_WINDOWS_TEST_FILTER_${folder}})
  endif()
  # One CTest test per program: every start of a program under Wine costs a fraction of a second.
  add_test(NAME ${target} COMMAND ${target} ${filter})
endforeach()
set_tests_properties(${QUILL_WINDOWS_KEYBOARD_TESTS} PROPERTIES RESOURCE_LOCK keyboard-focus)

# quill-host.exe driven from outside, as a user and a person drive it: Linux-side scripts that run
# it under Wine and type into its window with xdotool (real X keys), inside the run's display. They
# run alone: the system sends keys to the one foreground window, which another test's window would
# take. A missing tool or display skips them (77).
add_test(NAME quill-host-exe-replay
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/win32/wine_host_replay_test.sh
                 Z:$<TARGET_FILE:quill-host> ${CMAKE_CURRENT_SOURCE_DIR}/data/recordings)
add_test(NAME quill-host-exe-window
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/win32/wine_host_window_test.sh
                 Z:$<TARGET_FILE:quill-host> ${CMAKE_BINARY_DIR}/artifacts)
set_tests_properties(quill-host-exe-replay quill-host-exe-window PROPERTIES
                     RUN_SERIAL TRUE SKIP_RETURN_CODE 77 TIMEOUT 600)
