#ifndef VARNHOLD_CONTAINER_OUTCOME_H_
#define VARNHOLD_CONTAINER_OUTCOME_H_

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

}  // namespace container

#endif  // VARNHOLD_CONTAINER_OUTCOME_H_
