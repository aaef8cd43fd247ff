// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_GEOMETRY_EXTENDED_H_
#define VARNHOLD_GEOMETRY_EXTENDED_H_

#include <cstdint>

namespace geometry {

/// Exceptions raised by extended-precision operations. Like the status flags
/// of a floating-point unit they only ever get set, so a caller can run
/// several steps and inspect them afterwards.
struct FloatFlags {
  bool invalid = false;
  bool division_by_zero = false;
  bool overflow = false;
};

/// A binary floating-point number with a 64-bit significand and the exponent
/// range of the IEEE 754 extended format (the x87 80-bit format), computed with
/// integer arithmetic only, so that every platform gets the same bits. Every
/// operation rounds to nearest, ties to even, exactly once.
///
/// Finite values are held normalised: value = significand * 2^(exponent - 63)
/// with the top significand bit set. Results below 2^kMinExponent carry only
/// the bits an extended subnormal would hold.
class Extended {
 public:
  enum class Kind { kZero, kFinite, kInfinite, kNaN };

  /// Exponent of the smallest and the largest normal extended value.
  static constexpr int kMinExponent = -16382;
  static constexpr int kMaxExponent = 16383;

  /// Positive zero.
  constexpr Extended() = default;

  static Extended FromUnsigned(std::uint64_t value);
  /// Exact for every double, subnormals, infinities and NaN included.
  static Extended FromDouble(double value);
  /// (-1)^negative * significand * 2^(exponent - 63), exactly; a zero
  /// significand gives a signed zero. The caller keeps the value in range.
  static Extended FromParts(bool negative, std::int32_t exponent, std::uint64_t significand);
  static Extended Infinity(bool negative);
  static Extended NaN();

  Kind kind() const { return kind_; }
  bool negative() const { return negative_; }
  /// Exponent of the leading significand bit; meaningful for finite values.
  std::int32_t exponent() const { return exponent_; }
  /// Normalised significand (top bit set); meaningful for finite values.
  std::uint64_t significand() const { return significand_; }

  Extended operator-() const;

 private:
  Kind kind_ = Kind::kZero;
  bool negative_ = false;
  std::int32_t exponent_ = 0;
  std::uint64_t significand_ = 0;
};

Extended Multiply(const Extended& a, const Extended& b, FloatFlags& flags);
Extended Divide(const Extended& a, const Extended& b, FloatFlags& flags);
Extended Add(const Extended& a, const Extended& b, FloatFlags& flags);
/// The square root of a negative non-zero value is invalid; sqrt(-0) is -0.
Extended SquareRoot(const Extended& a, FloatFlags& flags);

/// Rounds (hi + lo / 2^64 + tiny) * 2^(exponent - 63) to an extended value,
/// where `hi` has its top bit set and `sticky` says whether anything nonzero
/// ("tiny") lies below `lo`. Overflow gives infinity and sets the flag.
Extended RoundToExtended(bool negative, std::int64_t exponent, std::uint64_t hi, std::uint64_t lo, bool sticky,
                         FloatFlags& flags);

/// Rounds to double precision, subnormal results included; a finite value
/// beyond the double range overflows to infinity and sets the flag.
double ToDouble(const Extended& a, FloatFlags& flags);

/// Rounds to the nearest 64-bit integer, ties to even. NaN, infinities and
/// results outside the int64 range are invalid and give INT64_MIN, as the
/// hardware's "integer indefinite" does.
std::int64_t ToInt64(const Extended& a, FloatFlags& flags);

}  // namespace geometry

#endif  // VARNHOLD_GEOMETRY_EXTENDED_H_
