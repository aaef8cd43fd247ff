// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_GEOMETRY_FAULT_H_
#define VARNHOLD_GEOMETRY_FAULT_H_

namespace geometry {

/// An arithmetic failure that makes a picture's shape undefined. Such a
/// failure ends the run through the generic failure path, which words it.
enum class Fault {
  kNone,
  kDivisionByZero,
  kInvalidOperation,
  kOverflow,
  kPictureTooLarge,  ///< the chosen picture cannot be described by a bitmap header
};

}  // namespace geometry

#endif  // VARNHOLD_GEOMETRY_FAULT_H_
