// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_DRIVER_EXIT_CODE_H_
#define VARNHOLD_DRIVER_EXIT_CODE_H_

#include "container/result.h"

namespace driver {

/// The program's whole result contract. Scripts test these numbers, and codes
/// 1 to 4 are also printed as the run's only output.
enum ExitCode : int {
  kSuccess = 0,       ///< output created and completely written; its suffix is printed
  kInputFailed = 1,   ///< input cannot be opened or is too long; also the generic failure path
  kOutputFailed = 2,  ///< output cannot be created under either name
  kRecordFailed = 3,  ///< header or record could not be written (encoding) or read (decoding)
  kCopyFailed = 4,    ///< the carried bytes could not be copied
  kUsage = 5,         ///< not exactly one argument naming an existing file; usage text printed
};

/// The code a run ends with for `result`; an arithmetic fault ends through the
/// generic failure path.
constexpr ExitCode ExitCodeFor(container::Result result) {
  switch (result) {
    case container::Result::kSuccess:
      return kSuccess;
    case container::Result::kOutputUnavailable:
      return kOutputFailed;
    case container::Result::kRecordFailed:
      return kRecordFailed;
    case container::Result::kCopyFailed:
      return kCopyFailed;
    case container::Result::kInputUnavailable:
    case container::Result::kArithmeticFault:
      break;
  }
  return kInputFailed;
}

}  // namespace driver

#endif  // VARNHOLD_DRIVER_EXIT_CODE_H_
