# SPDX-License-Identifier: MIT
# The browser page's core: WebAssembly for the WASI target with Debian's
# clang 14, wasi-libc and libc++ (packages wasi-libc, libc++-14-dev-wasm32,
# libclang-rt-14-dev-wasm32, lld, llvm-14). The module imports nothing.
set(CMAKE_SYSTEM_NAME WASI)
set(CMAKE_SYSTEM_PROCESSOR wasm32)

set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_SYSROOT /usr)
# GNU ar cannot index WebAssembly objects, and wasm-ld refuses an archive
# without an index: the archiver must be LLVM's.
find_program(CMAKE_AR NAMES llvm-ar-14 llvm-ar REQUIRED)
find_program(CMAKE_RANLIB NAMES llvm-ranlib-14 llvm-ranlib REQUIRED)
# libc++ for this target has no exception support; nothing here catches one.
set(CMAKE_CXX_FLAGS_INIT -fno-exceptions)
set(VARNHOLD_WEB ON)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
