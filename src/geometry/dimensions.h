// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_GEOMETRY_DIMENSIONS_H_
#define VARNHOLD_GEOMETRY_DIMENSIONS_H_

#include <cstdint>

#include "geometry/fault.h"

namespace geometry {

struct Dimensions {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

struct GeometryResult {
  Dimensions dimensions;
  Fault fault = Fault::kNone;  ///< when not kNone, `dimensions` is meaningless
};

/// A width rounded to a multiple of the divisor, and the side it went to.
struct Snapped {
  std::uint32_t value = 0;
  bool up = false;  ///< true when rounded up or already a multiple
};

/// Rounds `value` to a nearby multiple of `divisor` (at least 1): down when
/// the remainder is below floor(divisor / 2), otherwise up. Wraps modulo 2^32.
Snapped SnapToMultiple(std::uint32_t value, std::uint32_t divisor);

/// Rounds `value` down or up to a multiple of `divisor` (at least 1).
/// Wraps modulo 2^32.
std::uint32_t RoundToMultiple(std::uint32_t value, std::uint32_t divisor, bool up);

/// Width and height of the picture that holds `pixels` pixels (at least 1),
/// for the divisor (at least 1) and side ratio limit of
/// `ReadGeometryParameters`: a short walk over multiples of the divisor
/// around the square root, keeping the width with the least waste inside a
/// window set by the ratio limit. Fails with kInvalidOperation or
/// kDivisionByZero for a negative, zero, infinite or NaN limit or one whose
/// square roots reach 2^63, and with kPictureTooLarge when a rounded root
/// reaches 2^32 or the picture cannot be described by a bitmap header. A zero
/// pixel count or divisor gives kDivisionByZero.
GeometryResult ChooseGeometry(std::uint32_t pixels, std::uint32_t divisor, double fraction);

}  // namespace geometry

#endif  // VARNHOLD_GEOMETRY_DIMENSIONS_H_
