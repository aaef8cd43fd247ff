// SPDX-License-Identifier: MIT
#include "geometry/extended.h"

#include <bit>
#include <cstdint>
#include <limits>

namespace geometry {
namespace {

constexpr std::uint64_t kTopBit = std::uint64_t{1} << 63;

constexpr int kDoubleSignificandBits = 53;
constexpr int kDoubleMinExponent = -1022;
constexpr int kDoubleMaxExponent = 1023;

// A rounded magnitude: significand normalised (or zero) with the exponent of
// its top bit.
struct Rounded {
  bool overflow = false;
  std::int64_t exponent = 0;
  std::uint64_t significand = 0;
};

// Rounds the magnitude (hi + lo / 2^64 + tiny) * 2^(exponent - 63) to
// `precision` significant bits, to nearest with ties to even. Below
// 2^min_exponent the precision shrinks bit by bit as in a subnormal format;
// above the largest normal exponent the result overflows.
Rounded RoundMagnitude(std::int64_t exponent, std::uint64_t hi, std::uint64_t lo, bool sticky, int precision,
                       int min_exponent, int max_exponent) {
  Rounded result;
  if (exponent > max_exponent) {
    result.overflow = true;
    return result;
  }
  std::int64_t keep = precision;
  if (exponent < min_exponent) keep -= min_exponent - exponent;

  std::uint64_t kept = 0;
  bool round_bit = false;
  bool rest = false;
  if (keep >= 64) {
    kept = hi;
    round_bit = (lo >> 63) != 0;
    rest = (lo << 1) != 0 || sticky;
  } else if (keep >= 1) {
    const int drop = 64 - static_cast<int>(keep);
    kept = hi >> drop;
    round_bit = ((hi >> (drop - 1)) & 1) != 0;
    rest = (hi & ((std::uint64_t{1} << (drop - 1)) - 1)) != 0 || lo != 0 || sticky;
  } else if (keep == 0) {
    round_bit = true;  // the top bit of hi is the half-unit
    rest = (hi << 1) != 0 || lo != 0 || sticky;
  } else {
    rest = true;  // below half of the smallest unit: rounds to zero
  }
  const std::int64_t unit_exponent = exponent - keep + 1;  // weight of kept's lowest bit

  if (round_bit && (rest || (kept & 1) != 0)) {
    ++kept;
    if (kept == 0) {  // carried out of all 64 bits
      result.exponent = exponent + 1;
      result.significand = kTopBit;
      result.overflow = result.exponent > max_exponent;
      return result;
    }
  }
  if (kept == 0) return result;
  const int width = 64 - std::countl_zero(kept);
  result.exponent = unit_exponent + width - 1;
  result.significand = kept << (64 - width);
  result.overflow = result.exponent > max_exponent;
  return result;
}

// The full 128-bit product of two 64-bit numbers, without compiler extensions.
void MultiplyWide(std::uint64_t a, std::uint64_t b, std::uint64_t& hi, std::uint64_t& lo) {
  const std::uint64_t mask = 0xFFFFFFFFu;
  const std::uint64_t a_lo = a & mask, a_hi = a >> 32;
  const std::uint64_t b_lo = b & mask, b_hi = b >> 32;
  const std::uint64_t p0 = a_lo * b_lo;
  const std::uint64_t p1 = a_lo * b_hi;
  const std::uint64_t p2 = a_hi * b_lo;
  const std::uint64_t p3 = a_hi * b_hi;
  const std::uint64_t middle = (p0 >> 32) + (p1 & mask) + (p2 & mask);
  lo = (p0 & mask) | (middle << 32);
  hi = p3 + (p1 >> 32) + (p2 >> 32) + (middle >> 32);
}

bool MagnitudeLess(const Extended& a, const Extended& b) {
  if (a.exponent() != b.exponent()) return a.exponent() < b.exponent();
  return a.significand() < b.significand();
}

bool IsNaN(const Extended& a) { return a.kind() == Extended::Kind::kNaN; }
bool IsZero(const Extended& a) { return a.kind() == Extended::Kind::kZero; }
bool IsInfinite(const Extended& a) { return a.kind() == Extended::Kind::kInfinite; }

Extended Zero(bool negative) { return Extended::FromParts(negative, 0, 0); }

}  // namespace

Extended Extended::FromUnsigned(std::uint64_t value) { return FromParts(false, 63, value); }

Extended Extended::FromDouble(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0x7FF) return fraction == 0 ? Infinity(negative) : NaN();
  if (biased == 0) return FromParts(negative, -1074 + 63, fraction);  // zero or subnormal
  return FromParts(negative, biased - 1023, (fraction | (std::uint64_t{1} << 52)) << 11);
}

Extended Extended::FromParts(bool negative, std::int32_t exponent, std::uint64_t significand) {
  Extended result;
  result.negative_ = negative;
  if (significand == 0) return result;
  const int shift = std::countl_zero(significand);
  result.kind_ = Kind::kFinite;
  result.significand_ = significand << shift;
  result.exponent_ = exponent - shift;
  return result;
}

Extended Extended::Infinity(bool negative) {
  Extended result;
  result.kind_ = Kind::kInfinite;
  result.negative_ = negative;
  return result;
}

Extended Extended::NaN() {
  Extended result;
  result.kind_ = Kind::kNaN;
  return result;
}

Extended Extended::operator-() const {
  Extended result = *this;
  result.negative_ = !negative_;
  return result;
}

Extended RoundToExtended(bool negative, std::int64_t exponent, std::uint64_t hi, std::uint64_t lo, bool sticky,
                         FloatFlags& flags) {
  const Rounded r = RoundMagnitude(exponent, hi, lo, sticky, 64, Extended::kMinExponent, Extended::kMaxExponent);
  if (r.overflow) {
    flags.overflow = true;
    return Extended::Infinity(negative);
  }
  return Extended::FromParts(negative, static_cast<std::int32_t>(r.exponent), r.significand);
}

Extended Multiply(const Extended& a, const Extended& b, FloatFlags& flags) {
  const bool negative = a.negative() != b.negative();
  if (IsNaN(a) || IsNaN(b)) return Extended::NaN();
  if ((IsInfinite(a) && IsZero(b)) || (IsZero(a) && IsInfinite(b))) {
    flags.invalid = true;
    return Extended::NaN();
  }
  if (IsInfinite(a) || IsInfinite(b)) return Extended::Infinity(negative);
  if (IsZero(a) || IsZero(b)) return Zero(negative);

  std::uint64_t hi = 0, lo = 0;
  MultiplyWide(a.significand(), b.significand(), hi, lo);
  std::int64_t exponent = std::int64_t{a.exponent()} + b.exponent() + 1;
  if ((hi & kTopBit) == 0) {  // product below 2^127: one normalising shift
    hi = (hi << 1) | (lo >> 63);
    lo <<= 1;
    --exponent;
  }
  return RoundToExtended(negative, exponent, hi, lo, false, flags);
}

Extended Divide(const Extended& a, const Extended& b, FloatFlags& flags) {
  const bool negative = a.negative() != b.negative();
  if (IsNaN(a) || IsNaN(b)) return Extended::NaN();
  if ((IsInfinite(a) && IsInfinite(b)) || (IsZero(a) && IsZero(b))) {
    flags.invalid = true;
    return Extended::NaN();
  }
  if (IsInfinite(a)) return Extended::Infinity(negative);
  if (IsZero(b)) {
    flags.division_by_zero = true;
    return Extended::Infinity(negative);
  }
  if (IsZero(a) || IsInfinite(b)) return Zero(negative);

  // Long division, one quotient bit per step. The remainder stays below the
  // divisor, so after doubling it needs 65 bits: `carry` is the 65th.
  const std::uint64_t divisor = b.significand();
  std::uint64_t remainder = a.significand();
  std::int64_t exponent = std::int64_t{a.exponent()} - b.exponent();
  bool carry = false;
  if (remainder < divisor) {  // quotient below 1: start from twice the dividend
    carry = (remainder >> 63) != 0;
    remainder <<= 1;
    --exponent;
  }
  std::uint64_t quotient = 0;
  for (int i = 0; i < 64; ++i) {
    const bool bit = carry || remainder >= divisor;
    if (bit) remainder -= divisor;
    quotient = (quotient << 1) | (bit ? 1 : 0);
    carry = (remainder >> 63) != 0;
    remainder <<= 1;
  }
  const bool round_bit = carry || remainder >= divisor;
  if (round_bit) remainder -= divisor;
  return RoundToExtended(negative, exponent, quotient, round_bit ? kTopBit : 0, remainder != 0, flags);
}

Extended Add(const Extended& a, const Extended& b, FloatFlags& flags) {
  if (IsNaN(a) || IsNaN(b)) return Extended::NaN();
  if (IsInfinite(a) && IsInfinite(b) && a.negative() != b.negative()) {
    flags.invalid = true;
    return Extended::NaN();
  }
  if (IsInfinite(a)) return a;
  if (IsInfinite(b)) return b;
  if (IsZero(a) && IsZero(b)) return Zero(a.negative() && b.negative());
  if (IsZero(a)) return b;
  if (IsZero(b)) return a;

  const Extended& large = MagnitudeLess(a, b) ? b : a;
  const Extended& small = MagnitudeLess(a, b) ? a : b;
  const std::int64_t distance = std::int64_t{large.exponent()} - small.exponent();

  // Both magnitudes as 128-bit numbers with the larger one's top bit at
  // position 126, leaving room for a carry. Bits of the smaller one shifted
  // out below position 0 are folded into bit 0 ("jamming"), which keeps the
  // rounding of both sums and differences exact.
  const std::uint64_t large_hi = large.significand() >> 1;
  const std::uint64_t large_lo = large.significand() << 63;
  std::uint64_t small_hi = small.significand() >> 1;
  std::uint64_t small_lo = small.significand() << 63;
  bool lost = false;
  if (distance >= 128) {
    lost = true;
    small_hi = small_lo = 0;
  } else if (distance >= 64) {
    const int shift = static_cast<int>(distance - 64);
    lost = small_lo != 0 || (shift > 0 && (small_hi << (64 - shift)) != 0);
    small_lo = small_hi >> shift;
    small_hi = 0;
  } else if (distance > 0) {
    const int shift = static_cast<int>(distance);
    lost = (small_lo << (64 - shift)) != 0;
    small_lo = (small_lo >> shift) | (small_hi << (64 - shift));
    small_hi >>= shift;
  }
  if (lost) small_lo |= 1;

  std::uint64_t hi = 0, lo = 0;
  if (a.negative() == b.negative()) {
    lo = large_lo + small_lo;
    hi = large_hi + small_hi + (lo < large_lo ? 1 : 0);
  } else {
    lo = large_lo - small_lo;
    hi = large_hi - small_hi - (large_lo < small_lo ? 1 : 0);
    if (hi == 0 && lo == 0) return Zero(false);  // exact cancellation gives +0
  }
  const int shift = hi != 0 ? std::countl_zero(hi) : 64 + std::countl_zero(lo);
  if (shift >= 64) {
    hi = lo << (shift - 64);
    lo = 0;
  } else if (shift > 0) {
    hi = (hi << shift) | (lo >> (64 - shift));
    lo <<= shift;
  }
  const std::int64_t exponent = std::int64_t{large.exponent()} + 1 - shift;
  return RoundToExtended(large.negative(), exponent, hi, lo, false, flags);
}

Extended SquareRoot(const Extended& a, FloatFlags& flags) {
  if (IsNaN(a) || IsZero(a)) return a;
  if (a.negative()) {
    flags.invalid = true;
    return Extended::NaN();
  }
  if (IsInfinite(a)) return a;

  // Scale the significand to a 128-bit integer N in [2^126, 2^128) so that
  // the remaining power of two is even; the integer root of N then holds
  // exactly 64 bits.
  const std::int64_t exponent = a.exponent();
  const int scale = (exponent - 63) % 2 == 0 ? 64 : 63;
  std::uint64_t n_hi = scale == 64 ? a.significand() : a.significand() >> 1;
  std::uint64_t n_lo = scale == 64 ? 0 : a.significand() << 63;

  // Digit-by-digit square root: two bits of N per step. The remainder stays
  // at most twice the root, so it fits in 67 bits (rem_hi holds the top 3).
  std::uint64_t root = 0;
  std::uint64_t rem_hi = 0, rem_lo = 0;
  for (int i = 0; i < 64; ++i) {
    const std::uint64_t pair = n_hi >> 62;
    n_hi = (n_hi << 2) | (n_lo >> 62);
    n_lo <<= 2;
    rem_hi = (rem_hi << 2) | (rem_lo >> 62);
    rem_lo = (rem_lo << 2) | pair;
    const std::uint64_t trial_hi = root >> 62;  // trial = 4 * root + 1
    const std::uint64_t trial_lo = (root << 2) | 1;
    if (rem_hi > trial_hi || (rem_hi == trial_hi && rem_lo >= trial_lo)) {
      rem_hi = rem_hi - trial_hi - (rem_lo < trial_lo ? 1 : 0);
      rem_lo -= trial_lo;
      root = (root << 1) | 1;
    } else {
      root <<= 1;
    }
  }
  // sqrt(N) >= root + 1/2 exactly when N - root^2 > root; equality with
  // root + 1/2 is impossible for an integer N, so there are no ties here.
  const bool round_up = rem_hi != 0 || rem_lo > root;
  const bool inexact = rem_hi != 0 || rem_lo != 0;
  const std::int64_t root_exponent = 63 + (exponent - 63 - scale) / 2;
  return RoundToExtended(false, root_exponent, root, round_up ? kTopBit : 0, inexact, flags);
}

double ToDouble(const Extended& a, FloatFlags& flags) {
  const std::uint64_t sign = a.negative() ? kTopBit : 0;
  const std::uint64_t infinity = std::uint64_t{0x7FF} << 52;
  switch (a.kind()) {
    case Extended::Kind::kZero:
      return std::bit_cast<double>(sign);
    case Extended::Kind::kInfinite:
      return std::bit_cast<double>(sign | infinity);
    case Extended::Kind::kNaN:
      return std::numeric_limits<double>::quiet_NaN();
    case Extended::Kind::kFinite:
      break;
  }
  const Rounded r = RoundMagnitude(a.exponent(), a.significand(), 0, false, kDoubleSignificandBits, kDoubleMinExponent,
                                   kDoubleMaxExponent);
  if (r.overflow) {
    flags.overflow = true;
    return std::bit_cast<double>(sign | infinity);
  }
  if (r.significand == 0) return std::bit_cast<double>(sign);
  if (r.exponent >= kDoubleMinExponent) {
    const std::uint64_t biased = static_cast<std::uint64_t>(r.exponent + 1023);
    const std::uint64_t fraction = (r.significand >> 11) & ((std::uint64_t{1} << 52) - 1);
    return std::bit_cast<double>(sign | (biased << 52) | fraction);
  }
  // Subnormal: the rounding left zeros in every bit that does not fit.
  const int shift = static_cast<int>(11 + (kDoubleMinExponent - r.exponent));
  return std::bit_cast<double>(sign | (r.significand >> shift));
}

std::int64_t ToInt64(const Extended& a, FloatFlags& flags) {
  constexpr std::int64_t kIndefinite = std::numeric_limits<std::int64_t>::min();
  if (IsZero(a)) return 0;
  if (IsNaN(a) || IsInfinite(a) || a.exponent() > 63) {
    flags.invalid = true;
    return kIndefinite;
  }
  std::uint64_t magnitude = 0;
  if (a.exponent() == 63) {
    magnitude = a.significand();
  } else if (a.exponent() >= -1) {
    const int shift = 63 - a.exponent();  // 1 to 64
    const std::uint64_t significand = a.significand();
    magnitude = shift == 64 ? 0 : significand >> shift;
    const bool round_bit = ((significand >> (shift - 1)) & 1) != 0;
    const bool rest = (significand & ((std::uint64_t{1} << (shift - 1)) - 1)) != 0;
    if (round_bit && (rest || (magnitude & 1) != 0)) ++magnitude;
  }  // else below one half: rounds to zero
  if (magnitude > (a.negative() ? kTopBit : kTopBit - 1)) {
    flags.invalid = true;
    return kIndefinite;
  }
  // Negate in unsigned arithmetic so that -2^63 needs no special case.
  return static_cast<std::int64_t>(a.negative() ? ~magnitude + 1 : magnitude);
}

}  // namespace geometry
