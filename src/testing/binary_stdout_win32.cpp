// SPDX-License-Identifier: MIT
// Puts standard output and standard error of a Windows test program into
// binary mode before main runs, so its listings end lines in "\n" alone.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

namespace {

const bool kStreamsInBinaryMode = [] {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  return true;
}();

}  // namespace
