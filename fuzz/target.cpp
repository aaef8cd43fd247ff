// SPDX-License-Identifier: MIT
// The libFuzzer entry point, built once per check: VARNHOLD_FUZZ_CHECK names
// the check from checks.h. A failed check aborts, so libFuzzer saves the input.
#include <cstdio>
#include <cstdlib>

#include "fuzz/checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = fuzz::VARNHOLD_FUZZ_CHECK(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "check failed: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
