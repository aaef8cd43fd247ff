// SPDX-License-Identifier: MIT
#include "geometry/dimensions.h"

#include <cstdint>

#include "geometry/bitmap_limits.h"
#include "geometry/extended.h"

namespace geometry {
namespace {

// "No width chosen yet": also larger than any real waste.
constexpr std::uint32_t kNoWidth = 0xFFFFFFFF;

std::uint32_t CeilDivide(std::uint32_t a, std::uint32_t b) { return a / b + (a % b != 0 ? 1 : 0); }

Fault FaultFrom(const FloatFlags& flags) {
  if (flags.invalid) return Fault::kInvalidOperation;
  if (flags.division_by_zero) return Fault::kDivisionByZero;
  if (flags.overflow) return Fault::kOverflow;
  return Fault::kNone;
}

struct RootResult {
  std::uint32_t value = 0;
  Fault fault = Fault::kNone;
};

// round(sqrt(x)), ties to even, as a 64-bit integer that must stay below
// 2^32 for the picture to make sense.
RootResult RoundedRoot(const Extended& x, FloatFlags& flags) {
  RootResult result;
  const std::int64_t root = ToInt64(SquareRoot(x, flags), flags);
  result.fault = FaultFrom(flags);
  if (result.fault == Fault::kNone && root > std::int64_t{0xFFFFFFFF}) {
    result.fault = Fault::kPictureTooLarge;
  }
  result.value = static_cast<std::uint32_t>(root);
  return result;
}

struct Window {
  std::uint32_t start = 0;  // S
  bool up = false;
  std::uint32_t min = 0;
  std::uint32_t max = 0;
};

// Walks the candidate widths around the start S, changing side at every
// step (S, S - D, S + 2D, S - 3D, ... when `up` is set; S, S + D, S - 2D, ...
// otherwise), all modulo 2^32, and keeps the first candidate with the least
// waste inside the window. The walk ends one candidate after the first one
// outside the window or zero; a zero candidate is never scored.
std::uint32_t WalkCandidates(std::uint32_t pixels, std::uint32_t divisor, const Window& window) {
  std::uint32_t best_width = kNoWidth;
  std::uint32_t best_waste = kNoWidth;
  bool stopping = false;
  for (std::uint32_t k = 0;; ++k) {
    const std::uint32_t offset = k * divisor;
    const bool above = ((window.up ? 1u : 0u) + k) % 2 == 1;
    const std::uint32_t width = above ? window.start + offset : window.start - offset;
    if (width == 0) {
      if (stopping) break;
      stopping = true;
      continue;
    }
    const std::uint32_t waste = width * CeilDivide(pixels, width) - pixels;
    const bool inside = width >= window.min && width <= window.max;
    if (waste < best_waste && inside) {
      best_waste = waste;
      best_width = width;
    }
    if (stopping) break;
    if (!inside) stopping = true;
  }
  return best_width == kNoWidth ? window.start : best_width;
}

}  // namespace

Snapped SnapToMultiple(std::uint32_t value, std::uint32_t divisor) {
  const std::uint32_t remainder = value % divisor;
  if (remainder == 0) return {value, true};
  if (remainder < divisor / 2) return {value - remainder, false};
  return {value + divisor - remainder, true};
}

std::uint32_t RoundToMultiple(std::uint32_t value, std::uint32_t divisor, bool up) {
  const std::uint32_t remainder = value % divisor;
  if (remainder == 0) return value;
  return up ? value + divisor - remainder : value - remainder;
}

namespace {

// The search behind ChooseGeometry: sets `chosen` and gives kNone, or gives
// the fault that ended it.
Fault Search(std::uint32_t pixels, std::uint32_t divisor, double fraction, Dimensions& chosen) {
  if (pixels == 0 || divisor == 0) return Fault::kDivisionByZero;
  FloatFlags flags;
  const Extended p = Extended::FromUnsigned(pixels);
  const Extended f = Extended::FromDouble(fraction);

  const RootResult root = RoundedRoot(p, flags);
  const RootResult root_max = RoundedRoot(Multiply(p, f, flags), flags);
  if (root_max.fault != Fault::kNone) return root_max.fault;
  const Extended quotient = Divide(p, f, flags);
  // F = +-0; its root would be invalid only in consequence.
  if (flags.division_by_zero) return Fault::kDivisionByZero;
  const RootResult root_min = RoundedRoot(quotient, flags);
  if (root_min.fault != Fault::kNone) return root_min.fault;
  // Every picture has at least `pixels` pixels, so a count beyond what a
  // header can describe fails whatever the walk would choose; deciding it
  // here also keeps the walk short.
  if (pixels > kMaxBitmapPixels) return Fault::kPictureTooLarge;

  const Snapped snapped = SnapToMultiple(root.value, divisor);
  Window window;
  window.start = snapped.value;
  window.up = snapped.up;
  window.max = RoundToMultiple(root_max.value, divisor, false);
  window.min = RoundToMultiple(root_min.value, divisor, true);
  if (window.max * window.min == 0) {
    // Small picture: start at g rounded up and allow every width from the
    // height that start would need up to the start itself.
    window.start = RoundToMultiple(root.value, divisor, true);
    window.max = window.start;
    window.up = true;
    window.min = CeilDivide(pixels, window.start);
  }

  const std::uint32_t width = WalkCandidates(pixels, divisor, window);
  if (width == 0) return Fault::kDivisionByZero;  // cannot happen for valid input; never divide by it
  const std::uint32_t height = CeilDivide(pixels, width);
  if (!HeaderCanDescribe(width, height)) return Fault::kPictureTooLarge;
  chosen = {width, height};
  return Fault::kNone;
}

}  // namespace

GeometryResult ChooseGeometry(std::uint32_t pixels, std::uint32_t divisor, double fraction) {
  GeometryResult result;
  result.fault = Search(pixels, divisor, fraction, result.dimensions);
  return result;
}

}  // namespace geometry
