// SPDX-License-Identifier: MIT
#include "driver/fault_text.h"

#include <string_view>

#include "container/layout.h"
#include "container/names.h"

namespace driver {
namespace {

// 268435456 as "268,435,456".
std::string WithThousands(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

}  // namespace

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

std::string DescribeRefusal(ExitCode code) {
  switch (code) {
    case kInputFailed:
      return "the file cannot be read, or (when packing) it is longer than " +
             WithThousands(container::kMaxCarriedLength) + " bytes (256 MiB)";
    case kOutputFailed:
      return "the name to save it under would be longer than " + std::to_string(container::kLongestName) + " bytes";
    case kRecordFailed:
      return "its header states a layout other than uncompressed 24-bit rows from the bottom up, its record is empty "
             "or ends early, or its stored extension cannot name a file";
    case kCopyFailed:
      return "it holds fewer bytes than its record states";
    case kSuccess:
    case kUsage:
      break;
  }
  return {};
}

}  // namespace driver
