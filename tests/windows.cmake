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

file(GLOB support_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
list(FILTER support_sources EXCLUDE REGEX "/(x_session|screenshot)\\.cpp$")
foreach(folder ${QUILL_WINDOWS_TEST_FOLDERS})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(sources)
    list(REMOVE_ITEM sources ${QUILL_LINUX_ONLY_TESTS})
  endif()
  if(NOT sources)
    continue()
  endif()
  string(REPLACE "/" "-" name ${folder})
  set(target quill-tests-${name})
  add_executable(${target} ${sources} ${support_sources})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE quillcore GTest::gtest GTest::gmock)
  # Paths as the programs see them under Wine, whose drive Z: is the Linux root.
  target_compile_definitions(${target} PRIVATE
    QUILL_PLU_PATH="Z:$<TARGET_FILE:Quill>"
    QUILL_PLU_PATH_W=L"Z:$<TARGET_FILE:Quill>"
    QUILL_TEST_DATA="Z:${CMAKE_CURRENT_SOURCE_DIR}/data"
    QUILL_TEST_SOURCE="Z:${CMAKE_CURRENT_SOURCE_DIR}"
    QUILL_BINARY_DIR="Z:${CMAKE_BINARY_DIR}")
  add_dependencies(${target} Quill)
  # One CTest test per program: every start of a program under Wine costs a fraction of a second.
  add_test(NAME ${target} COMMAND ${target})
endforeach()
