// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_TESTING_GEOMETRY_REFERENCE_H_
#define VARNHOLD_TESTING_GEOMETRY_REFERENCE_H_

// The dimension search written step by step with the hardware's long double,
// as the reference for the differential test and the geometry fuzz check.
// It reproduces the search only where long double is the x87 extended type.

#include <cstdint>

#include "geometry/fault.h"

namespace test_support {

/// What the reference search chose, and how its walk went.
struct ReferenceResult {
  geometry::Fault fault = geometry::Fault::kNone;
  std::uint32_t width = 0, height = 0;
  bool window_held_candidate = false;
  bool best_wrapped = false;  ///< the chosen candidate came from wrapped arithmetic
  bool walk_ended = true;     ///< false when the walk ran past any sane length
};

/// The picture for `pixels` (at least 1), `divisor` (at least 1) and side
/// ratio limit `fraction`, computed with long double arithmetic.
ReferenceResult ReferenceGeometry(std::uint32_t pixels, std::uint32_t divisor, double fraction);

}  // namespace test_support

#endif  // VARNHOLD_TESTING_GEOMETRY_REFERENCE_H_
