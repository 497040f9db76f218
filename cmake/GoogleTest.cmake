# zv_add_gtest(<name> SOURCES <files...> [LIBRARIES <targets...>] [TIMEOUT <s>])
#
# Adds a GoogleTest executable and registers it with CTest, in both builds.
# The host build links Debian's libgtest and registers every test case on
# its own. The win32 build compiles GoogleTest from /usr/src/googletest with
# the cross compiler (once per build tree) and registers the executable as
# one test, which CTest runs under Wine through the cross-compiling emulator.
# CMake's module sets directory-scoped variables that gtest_discover_tests
# needs, so every directory that includes this file includes it again.
include(GoogleTest)
include_guard(GLOBAL)

set(ZV_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")

function(_zv_gtest_targets out)
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(GTest REQUIRED)
    set(${out} GTest::gtest GTest::gtest_main PARENT_SCOPE)
    return()
  endif()
  if(NOT TARGET gtest)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    add_subdirectory(${ZV_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Third-party code: its warnings are not ours to fail on.
    target_compile_options(gtest PRIVATE -w)
    target_compile_options(gtest_main PRIVATE -w)
  endif()
  set(${out} gtest gtest_main PARENT_SCOPE)
endfunction()

function(zv_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  _zv_gtest_targets(gtest_libs)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} ${gtest_libs})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "wine"
                                            SKIP_RETURN_CODE ${ZV_SKIP_CODE})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()
