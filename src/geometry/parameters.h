#ifndef VARNHOLD_GEOMETRY_PARAMETERS_H_
#define VARNHOLD_GEOMETRY_PARAMETERS_H_

#include <cstdint>
#include <string>

#include "geometry/fault.h"
#include "platform/environment.h"

namespace geometry {

/// The two numbers that steer a picture's shape.
struct Parameters {
  std::uint32_t divisor = 8;         ///< every width is a multiple of it; at least 1
  double fraction = 4.0 / 3.0;       ///< longest side over shortest side, at most about
};

struct ParametersResult {
  Parameters parameters;
  Fault fault = Fault::kNone;  ///< when not kNone, `parameters` is meaningless
};

/// The variable's value as seen through a 255-byte buffer: empty when unset,
/// empty, or 255 characters or longer.
std::string ReadEnvironmentValue(const platform::Environment& environment,
                                 const std::string& name);

/// Reads VARNHOLD_DIVISOR and VARNHOLD_FRACTION, applying defaults to values
/// that do not parse and normalising both.
ParametersResult ReadGeometryParameters(const platform::Environment& environment);

}  // namespace geometry

#endif  // VARNHOLD_GEOMETRY_PARAMETERS_H_
