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
)
list(TRANSFORM QUILL_LINUX_ONLY_TESTS PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)

# Tests of tests/platform that check the contract itself, not a stand-in's machinery: they run
# in the win32 program over the system's services. Not among them: bstr_arena_test (texts carved
# out of shared blocks) and running_object_table_test (the stand-in table's own reference counts
# and order); win32/com_system_test.cpp checks the system's side of both.
set(QUILL_WINDOWS_PLATFORM_TESTS_win32
  platform/variant_test.cpp platform/dispatch_test.cpp platform/com_safearray_overwrite_test.cpp)
list(TRANSFORM QUILL_WINDOWS_PLATFORM_TESTS_win32 PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)

# Single Linux-only tests inside files that otherwise run here, per program (a GTest filter).
set(QUILL_WINDOWS_TEST_FILTER_win32
  # the stand-in's arrays of no elements have no data block; the system's have one
  -SafeArrayForOverwrite.NoElementsMeansNoDataBlock)

file(GLOB support_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
list(FILTER support_sources EXCLUDE REGEX "/(x_session|screenshot)\\.cpp$")
foreach(folder ${QUILL_WINDOWS_TEST_FOLDERS})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  list(APPEND sources ${QUILL_WINDOWS_PLATFORM_TESTS_${folder}})
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
  set(filter)
  if(QUILL_WINDOWS_TEST_FILTER_${folder})
    set(filter --gtest_filter=${QUILL_WINDOWS_TEST_FILTER_${folder}})
  endif()
  # One CTest test per program: every start of a program under Wine costs a fraction of a second.
  add_test(NAME ${target} COMMAND ${target} ${filter})
endforeach()
