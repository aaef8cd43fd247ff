// SPDX-License-Identifier: MIT
#include "testing/geometry_reference.h"

#include <cmath>

#include "geometry/bitmap_limits.h"

namespace test_support {
namespace {

using geometry::Fault;

// A walk this long means the stopping rule failed; the product would hang.
constexpr std::uint64_t kLongestWalk = std::uint64_t{1} << 34;

std::uint32_t CeilDivide(std::uint32_t a, std::uint32_t b) {
  return static_cast<std::uint32_t>((std::uint64_t{a} + b - 1) / b);
}

// round(sqrt(x)) with ties to even, as the hardware does it; a root the
// 64-bit rounding cannot hold is invalid, one of 2^32 or more too large.
Fault RoundedRoot(long double x, std::uint32_t& root) {
  if (std::isnan(x) || x < 0) return Fault::kInvalidOperation;
  const long double rounded = std::nearbyint(std::sqrt(x));
  if (!(rounded < 0x1p63L)) return Fault::kInvalidOperation;
  if (rounded >= 0x1p32L) return Fault::kPictureTooLarge;
  root = static_cast<std::uint32_t>(rounded);
  return Fault::kNone;
}

std::uint32_t RoundToMultiple(std::uint32_t a, std::uint32_t d, bool up) {
  const std::uint32_t r = a % d;
  return r == 0 ? a : up ? a + d - r : a - r;
}

}  // namespace

ReferenceResult ReferenceGeometry(std::uint32_t p, std::uint32_t d, double f) {
  ReferenceResult result;
  std::uint32_t g = 0, root_max = 0, root_min = 0;
  RoundedRoot(p, g);
  if ((result.fault = RoundedRoot(static_cast<long double>(p) * f, root_max)) != Fault::kNone) return result;
  if (f == 0) {
    result.fault = Fault::kDivisionByZero;
    return result;
  }
  if ((result.fault = RoundedRoot(static_cast<long double>(p) / f, root_min)) != Fault::kNone) return result;
  // Every picture holds at least p pixels.
  if (p > geometry::kMaxBitmapPixels) {
    result.fault = Fault::kPictureTooLarge;
    return result;
  }

  const std::uint32_t r = g % d;
  std::uint32_t start = r == 0 ? g : r < d / 2 ? g - r : g + d - r;
  std::uint32_t up = r == 0 || r >= d / 2;
  std::uint32_t w_max = RoundToMultiple(root_max, d, false);
  std::uint32_t w_min = RoundToMultiple(root_min, d, true);
  if (w_max * w_min == 0) {
    start = RoundToMultiple(g, d, true);
    w_max = start;
    up = 1;
    w_min = CeilDivide(p, start);
  }

  std::uint32_t best = 0xFFFF'FFFF, best_waste = 0xFFFF'FFFF;
  bool stopping = false;
  result.walk_ended = false;
  for (std::uint64_t k = 0; k < kLongestWalk; ++k) {
    const std::uint32_t step = static_cast<std::uint32_t>(k) * d;
    const bool above = (up + k) % 2 == 1;
    const std::uint32_t v = above ? start + step : start - step;
    const std::int64_t exact =
        above ? std::int64_t{start} + std::int64_t(k) * d : std::int64_t{start} - std::int64_t(k) * d;
    if (v == 0) {
      if (stopping) {
        result.walk_ended = true;
        break;
      }
      stopping = true;
      continue;
    }
    const std::uint32_t waste = v * CeilDivide(p, v) - p;
    const bool inside = w_min <= v && v <= w_max;
    if (waste < best_waste && inside) {
      best_waste = waste;
      best = v;
      result.window_held_candidate = true;
      result.best_wrapped = exact != v;
    }
    if (stopping) {
      result.walk_ended = true;
      break;
    }
    if (!inside) stopping = true;
  }
  result.width = result.window_held_candidate ? best : start;
  result.height = CeilDivide(p, result.width);
  if (!geometry::HeaderCanDescribe(result.width, result.height)) {
    result.fault = Fault::kPictureTooLarge;
  }
  return result;
}

}  // namespace test_support
