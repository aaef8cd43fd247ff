# SPDX-License-Identifier: MIT
# Cross-builds for 64-bit ARM Linux with Debian's aarch64-linux-gnu compilers.
# There `long double` has a 113-bit significand, unlike x86's 64-bit one.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(VARNHOLD_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${VARNHOLD_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VARNHOLD_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNHOLD_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
