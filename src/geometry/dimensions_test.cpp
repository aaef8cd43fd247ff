// SPDX-License-Identifier: MIT
#include "geometry/dimensions.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "geometry/bitmap_limits.h"
#include "geometry/parameters.h"
#include "testing/geometry_reference.h"
#include "testing/hardware_extended.h"

namespace geometry {
namespace {

TEST(HeaderCanDescribe, OnlyPicturesThatFit32Bits) {
  // 54 + 3 * 1,431,655,747 = 4,294,967,295 is the largest size the field holds.
  EXPECT_TRUE(HeaderCanDescribe(1, 1'431'655'747u));
  EXPECT_FALSE(HeaderCanDescribe(1, 1'431'655'748u));
  EXPECT_TRUE(HeaderCanDescribe(65'536, 21'845));
  EXPECT_FALSE(HeaderCanDescribe(65'536, 65'536));
  EXPECT_FALSE(HeaderCanDescribe(0x8000'0000u, 1));
  EXPECT_FALSE(HeaderCanDescribe(0, 1));
}

TEST(SnapToMultiple, RoundsDownOnlyBelowHalfTheDivisor) {
  // With D = 8 remainders 1-3 go down and 4-7 up; with D = 5 only 1 goes down.
  for (std::uint32_t r = 0; r < 8; ++r) {
    const Snapped s = SnapToMultiple(16 + r, 8);
    EXPECT_EQ(s.value, r == 0 ? 16u : r < 4 ? 16u : 24u) << r;
    EXPECT_EQ(s.up, r == 0 || r >= 4) << r;
  }
  for (std::uint32_t r = 0; r < 5; ++r) {
    EXPECT_EQ(SnapToMultiple(10 + r, 5).value, r < 2 ? 10u : 15u) << r;
  }
  const Snapped tiny = SnapToMultiple(3, 8);  // below floor(D / 2): snaps to 0
  EXPECT_EQ(tiny.value, 0u);
  EXPECT_FALSE(tiny.up);
}

TEST(RoundToMultiple, RoundsInTheGivenDirectionModulo2To32) {
  EXPECT_EQ(RoundToMultiple(37, 8, false), 32u);
  EXPECT_EQ(RoundToMultiple(37, 8, true), 40u);
  EXPECT_EQ(RoundToMultiple(40, 8, true), 40u);
  EXPECT_EQ(RoundToMultiple(0xFFFFFFFF, 16, true), 0u);  // wraps past 2^32
}

struct GeometryCase {
  std::uint32_t pixels;
  std::uint32_t divisor;
  double fraction;
  std::uint32_t width;
  std::uint32_t height;
};

TEST(ChooseGeometry, WalksToTheDocumentedPictures) {
  const GeometryCase cases[] = {
      // The rows of the documented walk table (D = 8, F = 4/3).
      {3, 8, kDefaultFraction, 8, 1},
      {9, 8, kDefaultFraction, 8, 2},
      {336, 8, kDefaultFraction, 16, 21},
      {1368, 8, kDefaultFraction, 32, 43},
      {21848, 8, kDefaultFraction, 152, 144},
      {333336, 8, kDefaultFraction, 584, 571},
      // 72 x 54 wastes less but S + D is never a candidate.
      {3865, 8, kDefaultFraction, 64, 61},
      // P / F lies just above 40.5^2 because the stored 4/3 is a little low.
      {2187, 8, kDefaultFraction, 48, 46},
      // sqrt(P / F) = 8.5 exactly, a tie that rounds to 8.
      {289, 4, 4.0, 8, 37},
      // F = 1: a one-width window when g is a multiple of D, else empty; W = S.
      {1000, 8, 1.0, 32, 32},
      {1200, 8, 1.0, 32, 38},
      // Worked by hand: S = D, then S - D = 0 stops the walk and S + 2D wraps to 410065408.
      {5, 3000000000u, kDefaultFraction, 410065408, 1},
  };
  for (const GeometryCase& c : cases) {
    const GeometryResult result = ChooseGeometry(c.pixels, c.divisor, c.fraction);
    EXPECT_EQ(result.fault, Fault::kNone) << c.pixels;
    EXPECT_EQ(result.dimensions.width, c.width) << c.pixels;
    EXPECT_EQ(result.dimensions.height, c.height) << c.pixels;
  }
}

TEST(ChooseGeometry, SmallPicturesAreEightWide) {
  // Every P from 2 to 42 falls under the small-picture rule with the defaults.
  for (std::uint32_t p = 2; p <= 42; ++p) {
    const GeometryResult result = ChooseGeometry(p, 8, kDefaultFraction);
    EXPECT_EQ(result.dimensions.width, 8u) << p;
    EXPECT_EQ(result.dimensions.height, (p + 7) / 8) << p;
  }
}

TEST(ChooseGeometry, ReportsArithmeticFaults) {
  struct Case {
    std::uint32_t pixels;
    std::uint32_t divisor;
    double fraction;
    Fault expected;
  };
  const double infinity = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {100, 8, -2.0, Fault::kInvalidOperation},  // sqrt of a negative product
      {100, 8, -infinity, Fault::kInvalidOperation},
      {100, 8, infinity, Fault::kInvalidOperation},  // an infinite root has no integer
      {100, 8, std::nan(""), Fault::kInvalidOperation},
      {100, 8, 1e300, Fault::kInvalidOperation},  // the root reaches 2^63
      {100, 8, -0.0, Fault::kDivisionByZero},     // P / -0
      {100, 8, 0.0, Fault::kDivisionByZero},
      {1000000000, 8, 1e20, Fault::kPictureTooLarge},               // the root reaches 2^32
      {1431655748, 8, kDefaultFraction, Fault::kPictureTooLarge},   // 3P + 54 exceeds 32 bits
      {5, 0x80000000u, kDefaultFraction, Fault::kPictureTooLarge},  // W = 2^31
      {0, 8, kDefaultFraction, Fault::kDivisionByZero},
      {100, 0, kDefaultFraction, Fault::kDivisionByZero},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseGeometry(c.pixels, c.divisor, c.fraction).fault, c.expected)
        << c.pixels << " " << c.divisor << " " << c.fraction;
  }
}

// Parameters spread over ordinary and extreme values, with exact ties
// (odd squares with F = 4) and ratios just around the default.
struct RandomParameters {
  std::uint32_t pixels;
  std::uint32_t divisor;
  double fraction;
};

RandomParameters Draw(std::mt19937_64& random) {
  RandomParameters r{};
  const int bits = 1 + static_cast<int>(random() % 32);
  r.pixels = static_cast<std::uint32_t>((random() >> (64 - bits)) | (std::uint64_t{1} << (bits - 1)));
  const std::uint64_t divisor_kind = random() % 20;
  r.divisor = divisor_kind < 8    ? 8
              : divisor_kind < 14 ? 1 + static_cast<std::uint32_t>(random() % 64)
              : divisor_kind < 19 ? 1 + static_cast<std::uint32_t>(random() % 4096)
                                  : 1 + static_cast<std::uint32_t>(random() % 0xFFFFFFFF);
  const std::uint64_t fraction_kind = random() % 20;
  if (fraction_kind < 6) {
    r.fraction = kDefaultFraction;
  } else if (fraction_kind < 12) {
    r.fraction = 1.0 + std::ldexp(static_cast<double>(random() >> 11), -53);
  } else if (fraction_kind < 14) {
    const std::uint64_t odd = 2 * (random() % 30000) + 1;
    r.pixels = static_cast<std::uint32_t>(odd * odd);
    r.fraction = 4.0;
  } else if (fraction_kind < 16) {
    r.fraction = std::nextafter(kDefaultFraction, (random() & 1) != 0 ? 2.0 : 1.0);
  } else if (fraction_kind < 18) {
    r.fraction =
        std::ldexp(1.0 + std::ldexp(static_cast<double>(random() >> 11), -53), static_cast<int>(random() % 60) - 30);
  } else {
    const double specials[] = {-1.5, -0.0, 0.0, 1e300, 1e-300, INFINITY, -INFINITY, 1.0, 16.0};
    r.fraction = specials[random() % std::size(specials)];
  }
  return r;
}

TEST(ChooseGeometryDifferential, MatchesHardwareExtendedReference) {
  if (!test_support::kHardwareExtended) GTEST_SKIP() << "long double is not the x87 format";
  std::mt19937_64 random(7);
  int mismatches = 0;
  for (int i = 0; i < 1'000'000; ++i) {
    const RandomParameters r = Draw(random);
    const GeometryResult actual = ChooseGeometry(r.pixels, r.divisor, r.fraction);
    const test_support::ReferenceResult expected = test_support::ReferenceGeometry(r.pixels, r.divisor, r.fraction);
    const bool same = actual.fault == expected.fault &&
                      (actual.fault != Fault::kNone ||
                       (actual.dimensions.width == expected.width && actual.dimensions.height == expected.height));
    if (!same && ++mismatches <= 5) {
      ADD_FAILURE() << "P=" << r.pixels << " D=" << r.divisor << " F=" << r.fraction;
    }
  }
  EXPECT_EQ(0, mismatches);
}

}  // namespace
}  // namespace geometry
