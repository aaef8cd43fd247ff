// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_OUTCOME_H_
#define VARNHOLD_CONTAINER_OUTCOME_H_

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

}  // namespace container

#endif  // VARNHOLD_CONTAINER_OUTCOME_H_
