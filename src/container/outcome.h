#ifndef VARNHOLD_CONTAINER_OUTCOME_H_
#define VARNHOLD_CONTAINER_OUTCOME_H_

#include <new>
#include <string>
#include <utility>

#include "geometry/fault.h"

namespace container {

/// How an encoding or decoding run ended.
enum class Result {
  kSuccess,            ///< the output was created and completely written
  kInputUnavailable,   ///< the input could not be opened, or is too long to encode
  kOutputUnavailable,  ///< neither output name could be created
  kRecordFailed,       ///< the header or record could not be written or read
  kCopyFailed,         ///< the carried bytes could not be copied, or the output not closed
  kArithmeticFault,    ///< the picture's shape is undefined; see `fault`
};

struct Outcome {
  Result result = Result::kSuccess;
  std::string suffix;                              ///< on success: what was appended to the input's name
  geometry::Fault fault = geometry::Fault::kNone;  ///< on kArithmeticFault: which failure
};

inline Outcome Succeeded(std::string suffix) { return {Result::kSuccess, std::move(suffix), geometry::Fault::kNone}; }
inline Outcome Failed(Result result) { return {result, {}, geometry::Fault::kNone}; }
inline Outcome Faulted(geometry::Fault fault) { return {Result::kArithmeticFault, {}, fault}; }

/// Runs `stage`, one stage of writing an output that already exists, and tells
/// whether it succeeded. Running out of memory inside it is that stage's own
/// failure: left to the generic path, it would be reported as a run that wrote
/// nothing.
template <typename Stage>
[[nodiscard]] bool StageSucceeded(Stage&& stage) {
  try {
    return stage();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace container

#endif  // VARNHOLD_CONTAINER_OUTCOME_H_
