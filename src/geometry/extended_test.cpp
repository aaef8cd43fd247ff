// SPDX-License-Identifier: MIT
#include "geometry/extended.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>

#include "testing/hardware_extended.h"

namespace geometry {
namespace {

using test_support::FromHardware;
using test_support::kHardwareExtended;
using test_support::SameValue;

constexpr std::uint64_t kTop = std::uint64_t{1} << 63;

Extended Value(double d) { return Extended::FromDouble(d); }

// Known answers worked out by hand from the binary expansions.
TEST(ExtendedKnownAnswers, RoundsToNearestEven) {
  FloatFlags flags;
  // 1/3 = 0.0101...b: 64 bits of 1010...10, next bits 10... round up.
  const Extended third = Divide(Value(1), Value(3), flags);
  EXPECT_EQ(third.significand(), 0xAAAAAAAAAAAAAAABu);
  EXPECT_EQ(third.exponent(), -2);
  // sqrt(2) = 1.6A09E667F3BCC908B2F...h; the bit after the 64th is 0.
  const Extended root2 = SquareRoot(Value(2), flags);
  EXPECT_EQ(root2.significand(), 0xB504F333F9DE6484u);
  EXPECT_EQ(root2.exponent(), 0);
  // 2^64 - 1/2 lies halfway between 2^64 - 1 (odd) and 2^64 (even).
  const Extended carried = Add(Extended::FromUnsigned(UINT64_MAX), Value(0.5), flags);
  EXPECT_EQ(carried.significand(), kTop);
  EXPECT_EQ(carried.exponent(), 64);
  // 2^64 - 3/2 lies halfway between 2^64 - 2 (even) and 2^64 - 1.
  const Extended kept = Add(Extended::FromUnsigned(UINT64_MAX - 1), Value(0.5), flags);
  EXPECT_EQ(kept.significand(), UINT64_MAX - 1);
  // (2^32 + 1)^2 = 2^64 + 2^33 + 1 needs 65 bits; the last 1 is a tie, 2^64 + 2^33 is even.
  const Extended square =
      Multiply(Extended::FromUnsigned((1ull << 32) + 1), Extended::FromUnsigned((1ull << 32) + 1), flags);
  EXPECT_EQ(square.significand(), kTop | (1ull << 32));
  EXPECT_EQ(square.exponent(), 64);
  EXPECT_FALSE(flags.invalid || flags.division_by_zero || flags.overflow);
}

TEST(ExtendedKnownAnswers, ConvertsToDoubleWithTiesToEven) {
  FloatFlags flags;
  const double two53 = 9007199254740992.0;
  EXPECT_EQ(ToDouble(Extended::FromUnsigned((1ull << 53) + 1), flags), two53);
  EXPECT_EQ(ToDouble(Extended::FromUnsigned((1ull << 53) + 3), flags), two53 + 4);
  const double tiniest = std::numeric_limits<double>::denorm_min();
  // 2^-1075 is halfway between 0 and 2^-1074: goes to 0 (even); 3 * 2^-1076 rounds up.
  EXPECT_EQ(ToDouble(Extended::FromParts(false, -1075, kTop), flags), 0.0);
  EXPECT_EQ(ToDouble(Extended::FromParts(false, -1075, kTop | (kTop >> 1)), flags), tiniest);
  EXPECT_EQ(ToDouble(Extended::FromParts(true, -1074, kTop), flags), -tiniest);
  EXPECT_FALSE(flags.overflow);
  // The largest double plus half a unit rounds up, out of range.
  const Extended beyond = Extended::FromParts(false, 1023, ~std::uint64_t{0} << 10);
  EXPECT_TRUE(std::isinf(ToDouble(beyond, flags)));
  EXPECT_TRUE(flags.overflow);
}

TEST(ExtendedKnownAnswers, ConvertsToInt64WithTiesToEven) {
  struct Case {
    double value;
    std::int64_t expected;
  };
  // Halves go to the even neighbour.
  const Case cases[] = {
      {0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {-0.5, 0}, {0.49, 0}, {-9223372036854775808.0, INT64_MIN}};
  for (const Case& c : cases) {
    FloatFlags flags;
    EXPECT_EQ(ToInt64(Value(c.value), flags), c.expected) << c.value;
    EXPECT_FALSE(flags.invalid) << c.value;
  }
  // 2^63 - 1/2 rounds to the even 2^63, which does not fit.
  const Extended invalid_values[] = {Value(9223372036854775808.0), Extended::FromParts(false, 62, UINT64_MAX),
                                     Extended::Infinity(false), Extended::NaN()};
  for (const Extended& x : invalid_values) {
    FloatFlags flags;
    EXPECT_EQ(ToInt64(x, flags), INT64_MIN);
    EXPECT_TRUE(flags.invalid);
  }
}

TEST(ExtendedKnownAnswers, SpecialValuesRaiseTheRightFlags) {
  FloatFlags flags;
  EXPECT_EQ(Divide(Value(1), Value(-0.0), flags).kind(), Extended::Kind::kInfinite);
  EXPECT_TRUE(flags.division_by_zero && !flags.invalid);
  flags = {};
  EXPECT_EQ(SquareRoot(Value(-1), flags).kind(), Extended::Kind::kNaN);
  EXPECT_TRUE(flags.invalid);
  flags = {};
  const Extended minus_zero = SquareRoot(Value(-0.0), flags);
  EXPECT_TRUE(minus_zero.kind() == Extended::Kind::kZero && minus_zero.negative());
  EXPECT_FALSE(flags.invalid);
  const Extended huge = Extended::FromParts(false, Extended::kMaxExponent, kTop);
  EXPECT_EQ(Multiply(huge, Value(2), flags).kind(), Extended::Kind::kInfinite);
  EXPECT_TRUE(flags.overflow);
  flags = {};
  EXPECT_EQ(Add(Extended::Infinity(false), Extended::Infinity(true), flags).kind(), Extended::Kind::kNaN);
  EXPECT_TRUE(flags.invalid);
}

// --- Differential tests against the x87 unit ------------------------------

constexpr int kRandomOperands = 1'000'000;

// Operands as raw 80-bit encodings, biased towards the cases where rounding
// is delicate: trailing zeros (exact results and ties), powers of two and
// their neighbours, exact squares, and extreme exponents (overflow, subnormals).
class OperandSource {
 public:
  explicit OperandSource(std::uint64_t seed) : random_(seed) {}

  std::uint64_t Bits() { return random_(); }

  std::uint64_t Significand() {
    const std::uint64_t r = random_();
    switch (r % 8) {
      case 0:
      case 1:
        return (random_() | kTop) & (~std::uint64_t{0} << (random_() % 64));
      case 2:
        return kTop + random_() % 4;
      case 3:
        return UINT64_MAX - random_() % 4;
      case 4: {
        const std::uint64_t s = (random_() >> 32) | (1ull << 31);
        return s * s;  // an exact square, normalised by the caller
      }
      default:
        return random_() | kTop;
    }
  }

  // Exponent of the leading bit: mostly moderate, sometimes anywhere.
  int Exponent() {
    if (random_() % 16 != 0) return static_cast<int>(random_() % 161) - 80;
    return static_cast<int>(random_() % (16384 + 16445)) - 16445;
  }

  Extended Operand(bool allow_negative = true) {
    const bool negative = allow_negative && (random_() & 1) != 0;
    const int exponent = Exponent();
    std::uint64_t significand = Significand();
    // Below the normal range only the bits a subnormal holds may be set
    // (Exponent() stays at or above -16445, so at least one bit survives).
    if (exponent < Extended::kMinExponent) {
      const int lost = Extended::kMinExponent - exponent;
      significand &= ~std::uint64_t{0} << lost;
      if (significand == 0) significand = std::uint64_t{1} << lost;
    }
    return Extended::FromParts(negative, exponent, significand);
  }

 private:
  std::mt19937_64 random_;
};

struct HardwareOutcome {
  long double value;
  FloatFlags flags;
};

// Runs one x87 operation with cleared status flags and reads them back.
template <typename Operation>
HardwareOutcome OnHardware(Operation operation) {
  std::feclearexcept(FE_ALL_EXCEPT);
  const volatile long double result = operation();
  const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  HardwareOutcome outcome{result, {}};
  outcome.flags.invalid = (raised & FE_INVALID) != 0;
  outcome.flags.division_by_zero = (raised & FE_DIVBYZERO) != 0;
  outcome.flags.overflow = (raised & FE_OVERFLOW) != 0;
  return outcome;
}

// The x87 square root instruction itself. Some C libraries (mingw-w64's)
// answer a negative operand in software, without raising the invalid flag.
long double HardwareSquareRoot(long double x) {
#if defined(__x86_64__) || defined(__i386__)
  __asm__("fsqrt" : "+t"(x));
  return x;
#else
  return std::sqrt(x);
#endif
}

bool SameFlags(const FloatFlags& a, const FloatFlags& b) {
  return a.invalid == b.invalid && a.division_by_zero == b.division_by_zero && a.overflow == b.overflow;
}

using BinarySoftware = std::function<Extended(const Extended&, const Extended&, FloatFlags&)>;
using BinaryHardware = std::function<long double(long double, long double)>;

int CountBinaryMismatches(std::uint64_t seed, const BinarySoftware& software, const BinaryHardware& hardware) {
  OperandSource source(seed);
  int mismatches = 0;
  for (int i = 0; i < kRandomOperands; ++i) {
    const Extended a = source.Operand();
    Extended b = source.Operand();
    // Every 8th pair shares the exponent region, so sums cancel and round.
    if (i % 8 == 0 && a.exponent() > Extended::kMinExponent + 100) {
      b = Extended::FromParts(b.negative(), a.exponent() - i % 70, b.significand());
    }
    volatile long double ha = test_support::ToHardware(a);
    volatile long double hb = test_support::ToHardware(b);
    const HardwareOutcome expected = OnHardware([&] { return hardware(ha, hb); });
    FloatFlags flags;
    const Extended actual = software(a, b, flags);
    if (!SameValue(actual, FromHardware(expected.value)) || !SameFlags(flags, expected.flags)) {
      if (++mismatches <= 5) ADD_FAILURE() << "operands " << ha << ", " << hb;
    }
  }
  return mismatches;
}

TEST(ExtendedDifferential, MultiplyMatchesHardware) {
  if (!kHardwareExtended) GTEST_SKIP() << "long double is not the x87 extended format";
  EXPECT_EQ(0, CountBinaryMismatches(1, Multiply, [](long double a, long double b) { return a * b; }));
}

TEST(ExtendedDifferential, DivideMatchesHardware) {
  if (!kHardwareExtended) GTEST_SKIP() << "long double is not the x87 extended format";
  EXPECT_EQ(0, CountBinaryMismatches(2, Divide, [](long double a, long double b) { return a / b; }));
}

TEST(ExtendedDifferential, AddMatchesHardware) {
  if (!kHardwareExtended) GTEST_SKIP() << "long double is not the x87 extended format";
  EXPECT_EQ(0, CountBinaryMismatches(3, Add, [](long double a, long double b) { return a + b; }));
}

TEST(ExtendedDifferential, SquareRootMatchesHardware) {
  if (!kHardwareExtended) GTEST_SKIP() << "long double is not the x87 extended format";
  OperandSource source(4);
  int mismatches = 0;
  for (int i = 0; i < kRandomOperands; ++i) {
    const Extended a = source.Operand(i % 64 == 0);
    volatile long double ha = test_support::ToHardware(a);
    const HardwareOutcome expected = OnHardware([&] { return HardwareSquareRoot(ha); });
    FloatFlags flags;
    const Extended actual = SquareRoot(a, flags);
    if (!SameValue(actual, FromHardware(expected.value)) || !SameFlags(flags, expected.flags)) {
      if (++mismatches <= 5) ADD_FAILURE() << "operand " << ha;
    }
  }
  EXPECT_EQ(0, mismatches);
}

TEST(ExtendedDifferential, ConversionsMatchHardware) {
  if (!kHardwareExtended) GTEST_SKIP() << "long double is not the x87 extended format";
  OperandSource source(5);
  int mismatches = 0;
  for (int i = 0; i < kRandomOperands; ++i) {
    // To double: exponents around the whole double range, subnormal and overflowing ones included.
    const Extended a =
        Extended::FromParts((i & 1) != 0, static_cast<int>(source.Bits() % 2200) - 1100, source.Significand());
    volatile long double ha = test_support::ToHardware(a);
    std::feclearexcept(FE_ALL_EXCEPT);
    const volatile double expected_double = static_cast<double>(ha);
    const bool expected_overflow = std::fetestexcept(FE_OVERFLOW) != 0;
    FloatFlags flags;
    const double actual_double = ToDouble(a, flags);
    const bool same_double =
        std::memcmp(&actual_double, const_cast<const double*>(&expected_double), sizeof(double)) == 0;

    // To int64: exponents from below one half to beyond 2^63.
    const Extended b =
        Extended::FromParts((i & 2) != 0, static_cast<int>(source.Bits() % 68) - 3, source.Significand());
    volatile long double hb = test_support::ToHardware(b);
    std::feclearexcept(FE_ALL_EXCEPT);
    const volatile long long expected_integer = std::llrint(hb);
    const bool expected_invalid = std::fetestexcept(FE_INVALID) != 0;
    FloatFlags integer_flags;
    const std::int64_t actual_integer = ToInt64(b, integer_flags);

    // From double: any bit pattern.
    const double d = std::bit_cast<double>(source.Bits());
    const bool same_from_double = SameValue(Extended::FromDouble(d), FromHardware(d));

    if (!same_double || flags.overflow != expected_overflow || actual_integer != expected_integer ||
        integer_flags.invalid != expected_invalid || !same_from_double) {
      if (++mismatches <= 5) ADD_FAILURE() << "operands " << ha << ", " << hb << ", " << d;
    }
  }
  EXPECT_EQ(0, mismatches);
}

}  // namespace
}  // namespace geometry
