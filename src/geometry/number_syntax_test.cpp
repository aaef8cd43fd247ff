// SPDX-License-Identifier: MIT
#include "geometry/number_syntax.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <string>

#include "geometry/powers_of_ten.h"
#include "testing/hardware_extended.h"

namespace geometry {
namespace {

TEST(ParseInteger, AcceptsOnlyTheIntegerSyntax) {
  struct Case {
    const char* text;
    std::optional<std::int64_t> expected;
  };
  // Expectations follow the integer syntax rules, checked by hand.
  const Case cases[] = {
      {"4", 4},
      {"   +4", 4},
      {"-4", -4},
      {"0004", 4},
      {"$10", 16},
      {"x10", 16},
      {"X1f", 31},
      {"0x10", 16},
      {"0XfF", 255},
      {"-$10", -16},
      {"$FFFFFFFFFFFFFFFF", -1},     // a 64-bit pattern
      {"$00000000000000000001", 1},  // leading zeros do not count
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},  // the signed value is in range
      {"-$8000000000000000", INT64_MIN},    // negation wraps modulo 2^64
      {"4294967296", 4294967296},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"+", std::nullopt},
      {"4 ", std::nullopt},   // nothing after the digits
      {"\t4", std::nullopt},  // only spaces lead
      {"- 4", std::nullopt},
      {"+-4", std::nullopt},
      {"four", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"$-1", std::nullopt},
      {"00x1", std::nullopt},
      {"$10000000000000000", std::nullopt},   // 65 bits
      {"9223372036854775808", std::nullopt},  // above the signed range
      {"-9223372036854775809", std::nullopt},
      {"1.0", std::nullopt},
      {"12a", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseInteger(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ParseNumber, AcceptsOnlyTheNumberSyntax) {
  struct Case {
    const char* text;
    std::optional<double> expected;
  };
  // Values are exact binary fractions or follow from the syntax rules directly.
  const Case cases[] = {
      {"1", 1.0},
      {"  -1.5", -1.5},
      {"+.25", 0.25},
      {"3.", 3.0},
      {"1e3", 1000.0},
      {"1E+3", 1000.0},
      {"25e-2", 0.25},
      {"0.75", 0.75},
      {".", 0.0},
      {"e5", 0.0},
      {"+.e-7", 0.0},
      {"-0", -0.0},
      {"", std::nullopt},
      {"  ", std::nullopt},
      {"+", std::nullopt},
      {"1e", std::nullopt},
      {"1e+", std::nullopt},
      {"1.5.", std::nullopt},
      {"1,5", std::nullopt},
      {"1 ", std::nullopt},
      {"abc", std::nullopt},
      {"\t1", std::nullopt},
      {"--1", std::nullopt},
      {"1e5x", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<ParsedNumber> parsed = ParseNumber(c.text);
    ASSERT_EQ(parsed.has_value(), c.expected.has_value()) << '"' << c.text << '"';
    if (!parsed) continue;
    EXPECT_EQ(parsed->fault, Fault::kNone) << c.text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(parsed->value), std::bit_cast<std::uint64_t>(*c.expected))
        << '"' << c.text << '"';
  }
}

TEST(ParseNumber, AppliesTheScaleLimits) {
  // Scales of 5120 or more are infinite even for a zero mantissa; -5120 or less are zero.
  EXPECT_EQ(ParseNumber("0e5120")->value, INFINITY);
  EXPECT_EQ(ParseNumber("-1e9999999999999999999999")->value, -INFINITY);
  EXPECT_EQ(ParseNumber("1e-5120")->value, 0.0);
  EXPECT_EQ(ParseNumber("1e-5119")->value, 0.0);  // underflows quietly
  // 10^5119 is beyond the extended range, 10^400 only beyond double's.
  EXPECT_EQ(ParseNumber("1e5119")->fault, Fault::kOverflow);
  EXPECT_EQ(ParseNumber("-1e400")->fault, Fault::kOverflow);
  EXPECT_EQ(ParseNumber("0e5119")->fault, Fault::kNone);
  // 130 digits after the point scale by exactly 10^-130.
  EXPECT_EQ(ParseNumber("0." + std::string(129, '0') + "1e130")->value, 1.0);
  EXPECT_EQ(ParseNumber("1." + std::string(200, '0') + "e1")->value, 10.0);
}

TEST(PowerOfTen, SmallPowersAreExact) {
  std::uint64_t power = 1;
  for (int n = 0; n <= 19; ++n, power *= 10) {
    const Extended expected = Extended::FromUnsigned(power);
    EXPECT_TRUE(test_support::SameValue(PowerOfTen(n), expected)) << n;
  }
}

// 10^n correctly rounded by glibc's strtold, cached (n is below 5120).
long double HardwarePowerOfTen(int n) {
  static std::map<int, long double> cache;
  const auto found = cache.find(n);
  if (found != cache.end()) return found->second;
  return cache[n] = std::strtold(("1e" + std::to_string(n)).c_str(), nullptr);
}

TEST(PowerOfTen, ScaleFactorsMatchCorrectlyRoundedHardwareValues) {
  if (!test_support::kHardwareExtended) GTEST_SKIP() << "long double is not the x87 format";
  // glibc's strtold rounds correctly; these are all factors the scaling uses.
  for (int n = 0; n <= 4608; n += (n < 32 ? 1 : n < 512 ? 32 : 512)) {
    const Extended expected = test_support::FromHardware(HardwarePowerOfTen(n));
    EXPECT_TRUE(test_support::SameValue(PowerOfTen(n), expected)) << n;
  }
}

// The conversion algorithm written with the hardware's extended arithmetic.
std::optional<ParsedNumber> ReferenceParse(bool negative, const std::string& digits, int fraction_digits,
                                           int exponent) {
  long double value = 0;
  for (const char c : digits) value = value * 10 + (c - '0');
  const int scale = exponent - fraction_digits;
  const int magnitude = std::abs(scale);
  for (const int power : {magnitude % 32, 32 * ((magnitude / 32) % 16), 512 * (magnitude / 512)}) {
    if (power == 0) continue;
    const long double factor = HardwarePowerOfTen(power);
    value = scale > 0 ? value * factor : value / factor;
  }
  if (negative) value = -value;
  const volatile double rounded = static_cast<double>(value);
  return ParsedNumber{rounded, std::isinf(rounded) ? Fault::kOverflow : Fault::kNone};
}

TEST(ParseNumberDifferential, MatchesHardwareExtendedArithmetic) {
  if (!test_support::kHardwareExtended) GTEST_SKIP() << "long double is not the x87 format";
  std::mt19937_64 random(6);
  int mismatches = 0;
  for (int i = 0; i < 50'000; ++i) {
    const bool negative = (random() & 1) != 0;
    std::string digits;
    const std::size_t length = 1 + static_cast<std::size_t>(random() % 40);
    for (std::size_t j = 0; j < length; ++j) digits += static_cast<char>('0' + random() % 10);
    const std::size_t fraction_digits = static_cast<std::size_t>(random() % (length + 1));
    const int exponent = static_cast<int>(random() % 1400) - 700;
    std::string text = negative ? "-" : "";
    text += digits.substr(0, digits.size() - fraction_digits) + "." + digits.substr(digits.size() - fraction_digits) +
            "e" + std::to_string(exponent);
    const std::optional<ParsedNumber> actual = ParseNumber(text);
    const std::optional<ParsedNumber> expected =
        ReferenceParse(negative, digits, static_cast<int>(fraction_digits), exponent);
    if (!actual || actual->fault != expected->fault ||
        std::bit_cast<std::uint64_t>(actual->value) != std::bit_cast<std::uint64_t>(expected->value)) {
      if (++mismatches <= 5) ADD_FAILURE() << text;
    }
  }
  EXPECT_EQ(0, mismatches);
}

}  // namespace
}  // namespace geometry
