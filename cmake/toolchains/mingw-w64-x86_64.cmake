# SPDX-License-Identifier: MIT
# The 64-bit Windows program (x86-64).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARNHOLD_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
