// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_DRIVER_FAULT_TEXT_H_
#define VARNHOLD_DRIVER_FAULT_TEXT_H_

#include <string>
#include <string_view>

#include "driver/exit_code.h"
#include "geometry/fault.h"

namespace driver {

/// A short English phrase naming the failure, for the error stream.
std::string_view DescribeFault(geometry::Fault fault);

/// What a run that ends with `code` (1 to 4) met, as a short English phrase
/// for the browser page, which shows it beside the code; empty for any other
/// code.
std::string DescribeRefusal(ExitCode code);

}  // namespace driver

#endif  // VARNHOLD_DRIVER_FAULT_TEXT_H_
