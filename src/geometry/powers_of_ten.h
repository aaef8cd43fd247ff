// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_GEOMETRY_POWERS_OF_TEN_H_
#define VARNHOLD_GEOMETRY_POWERS_OF_TEN_H_

#include "geometry/extended.h"

namespace geometry {

/// 10^exponent correctly rounded to extended precision (nearest, ties to
/// even), computed exactly from the integer 10^exponent. `exponent` must be
/// at most 4932, the largest power of ten below the extended maximum.
Extended PowerOfTen(int exponent);

/// Scales `value` by 10^scale the way decimal texts are converted: |scale|
/// (below 5120) is split into 10^(|scale| mod 32), 10^(32 * ((|scale| div 32)
/// mod 16)) and 10^(512 * (|scale| div 512)), applied in that order, each a
/// correctly rounded extended value, multiplied for a positive scale and
/// divided for a negative one, with a rounding after every step.
Extended ScaleByPowerOfTen(const Extended& value, int scale, FloatFlags& flags);

}  // namespace geometry

#endif  // VARNHOLD_GEOMETRY_POWERS_OF_TEN_H_
