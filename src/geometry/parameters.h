// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_GEOMETRY_PARAMETERS_H_
#define VARNHOLD_GEOMETRY_PARAMETERS_H_

#include <bit>
#include <cstdint>
#include <string>

#include "geometry/fault.h"
#include "platform/environment.h"

namespace geometry {

/// The variables that hold the two parameters' texts.
inline constexpr char kDivisorVariable[] = "VARNHOLD_DIVISOR";
inline constexpr char kFractionVariable[] = "VARNHOLD_FRACTION";

/// The divisor used when VARNHOLD_DIVISOR does not parse.
inline constexpr std::uint32_t kDefaultDivisor = 8;
/// The side ratio limit used when VARNHOLD_FRACTION does not parse: 4/3 as a
/// double, spelled as bits so that no compiler rounding is involved.
inline constexpr double kDefaultFraction = std::bit_cast<double>(std::uint64_t{0x3FF5555555555555});

/// The two numbers that steer a picture's shape.
struct Parameters {
  std::uint32_t divisor = kDefaultDivisor;  ///< every width is a multiple of it; at least 1
  double fraction = kDefaultFraction;       ///< the longest side over the shortest side may not exceed it
};

struct ParametersResult {
  Parameters parameters;
  Fault fault = Fault::kNone;  ///< when not kNone, `parameters` is meaningless
};

/// The variable's value as seen through a 255-byte buffer: empty when unset,
/// empty, or 255 characters or longer.
std::string ReadEnvironmentValue(const platform::Environment& environment, const std::string& name);

/// Reads VARNHOLD_DIVISOR and VARNHOLD_FRACTION, applying defaults to values
/// that do not parse and normalising both.
ParametersResult ReadGeometryParameters(const platform::Environment& environment);

}  // namespace geometry

#endif  // VARNHOLD_GEOMETRY_PARAMETERS_H_
