# SPDX-License-Identifier: MIT
# Builds GoogleTest from the sources Debian's libgtest-dev ships, for cross
# builds: its prebuilt libraries only fit the build machine. Defines the same
# GTest::gtest and GTest::gtest_main targets as find_package(GTest).
set(VARNHOLD_GOOGLETEST_SOURCE /usr/src/googletest/googletest
    CACHE PATH "GoogleTest's source folder, used when cross-compiling")
if(NOT EXISTS ${VARNHOLD_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${VARNHOLD_GOOGLETEST_SOURCE}; install libgtest-dev")
endif()

enable_language(C)  # GoogleTest's project declares C as well
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${VARNHOLD_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

if(WIN32)
  # The C runtime's text mode turns "\n" into "\r\n" on standard output, and
  # CTest's test discovery would then read names ending in "\r". Every test
  # program that uses gtest_main compiles this in and writes plain bytes.
  target_sources(gtest_main INTERFACE ${PROJECT_SOURCE_DIR}/src/testing/binary_stdout_win32.cpp)
endif()
