// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_OUTCOME_H_
#define VARNHOLD_CONTAINER_OUTCOME_H_

#include <new>
#include <string>
#include <utility>

#include "container/result.h"
#include "geometry/fault.h"

namespace container {

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
