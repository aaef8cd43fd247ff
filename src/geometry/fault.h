#ifndef VARNHOLD_GEOMETRY_FAULT_H_
#define VARNHOLD_GEOMETRY_FAULT_H_

#include <string_view>

namespace geometry {

/// An arithmetic failure that makes a picture's shape undefined. Such a
/// failure ends the run through the generic failure path.
enum class Fault {
  kNone,
  kDivisionByZero,
  kInvalidOperation,
  kOverflow,
  kPictureTooLarge,  ///< the chosen picture cannot be described by a bitmap header
};

/// A short English phrase naming the failure, for the error stream.
std::string_view DescribeFault(Fault fault);

}  // namespace geometry

#endif  // VARNHOLD_GEOMETRY_FAULT_H_
