# SPDX-License-Identifier: MIT
# Cross-builds a Windows program with Debian's mingw-w64 (POSIX thread model),
# linked statically so that varnhold.exe is the one file to copy. Included by
# the toolchain file of each target, which sets CMAKE_SYSTEM_PROCESSOR and
# VARNHOLD_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VARNHOLD_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNHOLD_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNHOLD_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNHOLD_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libstdc++, libgcc or winpthread DLLs beside the program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
