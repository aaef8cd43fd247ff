// SPDX-License-Identifier: MIT
#include "driver/fault_text.h"

#include <string_view>

namespace driver {

using geometry::Fault;

std::string_view DescribeFault(Fault fault) {
  switch (fault) {
    case Fault::kNone:
      return "no fault";
    case Fault::kDivisionByZero:
      return "floating-point division by zero";
    case Fault::kInvalidOperation:
      return "invalid floating-point operation";
    case Fault::kOverflow:
      return "floating-point overflow";
    case Fault::kPictureTooLarge:
      return "picture too large for a bitmap header";
  }
  return "unknown fault";
}

}  // namespace driver
