// SPDX-License-Identifier: MIT
// The dimension search for arbitrary pixel counts, divisors and side ratio
// limits. On every platform the chosen picture must hold the pixels and fit
// a bitmap header, or the search must fail. Where long double is the x87
// extended type, the walk is repeated here with the hardware's arithmetic and
// must choose the same picture and fail in the same way. The width must be a
// multiple of the divisor whenever the window held a candidate reached
// without wrapping: with a divisor near 2^31 the walk's 32-bit arithmetic can
// wrap onto a width that is no multiple yet still fits a header, which the
// search accepts as its documented arithmetic says.
#include <cstring>
#include <limits>
#include <sstream>

#include "fuzz/checks.h"
#include "geometry/bitmap_limits.h"
#include "geometry/dimensions.h"
#include "testing/geometry_reference.h"

namespace fuzz {

using geometry::Fault;

std::string CheckGeometry(const std::uint8_t* data, std::size_t size) {
  // Pixel count, divisor and the double's bits, little-endian, missing bytes
  // zero; the search requires a pixel count and divisor of at least 1.
  std::uint8_t bytes[16] = {};
  std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
  std::uint32_t pixels, divisor;
  double fraction;
  std::memcpy(&pixels, bytes, 4);
  std::memcpy(&divisor, bytes + 4, 4);
  std::memcpy(&fraction, bytes + 8, 8);
  if (pixels == 0) pixels = 1;
  if (divisor == 0) divisor = 1;

  const geometry::GeometryResult chosen = geometry::ChooseGeometry(pixels, divisor, fraction);
  const std::uint32_t w = chosen.dimensions.width, h = chosen.dimensions.height;
  std::ostringstream problems;
  problems.precision(17);
  problems << "P " << pixels << ", D " << divisor << ", F " << fraction << ": ";
  const auto before = problems.str().size();
  if (chosen.fault == Fault::kNone) {
    if (w == 0 || h == 0) problems << "a side of zero; ";
    if (std::uint64_t{w} * h < pixels) problems << w << " x " << h << " holds too few pixels; ";
    if (!geometry::HeaderCanDescribe(w, h)) {
      problems << w << " x " << h << " cannot be stated in a header; ";
    }
  }
  if constexpr (std::numeric_limits<long double>::digits == 64) {
    const test_support::ReferenceResult expected = test_support::ReferenceGeometry(pixels, divisor, fraction);
    if (!expected.walk_ended) problems << "the walk does not end; ";
    if (expected.fault != chosen.fault) {
      problems << "fault " << static_cast<int>(chosen.fault) << ", expected " << static_cast<int>(expected.fault)
               << "; ";
    } else if (expected.fault == Fault::kNone) {
      if (w != expected.width || h != expected.height) {
        problems << w << " x " << h << ", expected " << expected.width << " x " << expected.height << "; ";
      }
      if (expected.window_held_candidate && !expected.best_wrapped && w % divisor != 0) {
        problems << "width not a multiple of D; ";
      }
    }
  }
  return problems.str().size() == before ? "" : problems.str();
}

}  // namespace fuzz
