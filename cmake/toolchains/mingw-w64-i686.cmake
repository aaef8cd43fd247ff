# SPDX-License-Identifier: MIT
# The 32-bit Windows program (i686): it starts on 32-bit and 64-bit x86
# Windows alike, and on Windows on ARM through its x86 emulation.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARNHOLD_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
