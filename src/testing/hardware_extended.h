// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_TESTING_HARDWARE_EXTENDED_H_
#define VARNHOLD_TESTING_HARDWARE_EXTENDED_H_

// Test-only bridges between Extended and the hardware's long double, for the
// differential tests. Meaningful only where long double is the x87 format.

#include <cstdint>
#include <cstring>
#include <limits>

#include "geometry/extended.h"

namespace test_support {

using geometry::Extended;

inline constexpr bool kHardwareExtended =
    std::numeric_limits<long double>::digits == 64 && std::numeric_limits<long double>::max_exponent == 16384;

constexpr int kExtendedBias = 16383;

/// The 80-bit encoding of `x`: 64-bit significand, then sign and biased exponent.
inline long double ToHardware(const Extended& x) {
  std::uint64_t significand = 0;
  std::uint16_t sign_exponent = x.negative() ? 0x8000 : 0;
  switch (x.kind()) {
    case Extended::Kind::kZero:
      break;
    case Extended::Kind::kInfinite:
      significand = std::uint64_t{1} << 63;
      sign_exponent |= 0x7FFF;
      break;
    case Extended::Kind::kNaN:
      significand = std::uint64_t{3} << 62;
      sign_exponent |= 0x7FFF;
      break;
    case Extended::Kind::kFinite:
      if (x.exponent() >= Extended::kMinExponent) {
        significand = x.significand();
        sign_exponent |= static_cast<std::uint16_t>(x.exponent() + kExtendedBias);
      } else {
        significand = x.significand() >> (Extended::kMinExponent - x.exponent());
      }
      break;
  }
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &significand, 8);
  std::memcpy(bytes + 8, &sign_exponent, 2);
  long double result;
  std::memcpy(&result, bytes, sizeof result);
  return result;
}

inline Extended FromHardware(long double value) {
  unsigned char bytes[sizeof(long double)];
  std::memcpy(bytes, &value, sizeof value);
  std::uint64_t significand;
  std::uint16_t sign_exponent;
  std::memcpy(&significand, bytes, 8);
  std::memcpy(&sign_exponent, bytes + 8, 2);
  const bool negative = (sign_exponent & 0x8000) != 0;
  const int biased = sign_exponent & 0x7FFF;
  if (biased == 0x7FFF) {
    return (significand << 1) == 0 ? Extended::Infinity(negative) : Extended::NaN();
  }
  const int exponent = biased == 0 ? Extended::kMinExponent : biased - kExtendedBias;
  return Extended::FromParts(negative, exponent, significand);
}

/// Same kind, sign and bits; any two NaNs count as the same.
inline bool SameValue(const Extended& a, const Extended& b) {
  if (a.kind() != b.kind()) return false;
  if (a.kind() == Extended::Kind::kNaN) return true;
  if (a.negative() != b.negative()) return false;
  return a.kind() != Extended::Kind::kFinite || (a.exponent() == b.exponent() && a.significand() == b.significand());
}

}  // namespace test_support

#endif  // VARNHOLD_TESTING_HARDWARE_EXTENDED_H_
