// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_DRIVER_FAULT_TEXT_H_
#define VARNHOLD_DRIVER_FAULT_TEXT_H_

#include <string_view>

#include "geometry/fault.h"

namespace driver {

/// A short English phrase naming the failure, for the error stream.
std::string_view DescribeFault(geometry::Fault fault);

}  // namespace driver

#endif  // VARNHOLD_DRIVER_FAULT_TEXT_H_
