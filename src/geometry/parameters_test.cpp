// SPDX-License-Identifier: MIT
#include "geometry/parameters.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "testing/memory_environment.h"

namespace geometry {
namespace {

constexpr std::uint64_t kDefaultFractionBits = 0x3FF5555555555555;  // 4/3

ParametersResult ReadWith(const char* divisor, const char* fraction) {
  test_support::MemoryEnvironment environment;
  if (divisor != nullptr) environment.variables["VARNHOLD_DIVISOR"] = divisor;
  if (fraction != nullptr) environment.variables["VARNHOLD_FRACTION"] = fraction;
  return ReadGeometryParameters(environment);
}

TEST(ReadEnvironmentValue, SeesValuesThroughA255ByteBuffer) {
  test_support::MemoryEnvironment environment;
  environment.variables["EMPTY"] = "";
  environment.variables["LONGEST"] = std::string(254, 'a');
  environment.variables["TOO_LONG"] = std::string(255, 'a');
  environment.variables["LONGER"] = std::string(300, 'a');
  EXPECT_EQ(ReadEnvironmentValue(environment, "UNSET"), "");
  EXPECT_EQ(ReadEnvironmentValue(environment, "EMPTY"), "");
  EXPECT_EQ(ReadEnvironmentValue(environment, "LONGEST"), std::string(254, 'a'));
  EXPECT_EQ(ReadEnvironmentValue(environment, "TOO_LONG"), "");
  EXPECT_EQ(ReadEnvironmentValue(environment, "LONGER"), "");
}

TEST(ReadGeometryParameters, DefaultsWhenUnset) {
  const ParametersResult result = ReadWith(nullptr, nullptr);
  EXPECT_EQ(result.fault, Fault::kNone);
  EXPECT_EQ(result.parameters.divisor, 8u);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(result.parameters.fraction), kDefaultFractionBits);
}

TEST(ReadGeometryParameters, ReadsTheDivisor) {
  struct Case {
    const char* text;
    std::uint32_t expected;
  };
  // The documented examples, plus the wrap of values modulo 2^32.
  const Case cases[] = {
      {"4", 4},    {" 4", 4},    {"4 ", 8},         {"\t4", 8},        {"four", 8},         {"0", 1}, {"$10", 16},
      {"x10", 16}, {"0X10", 16}, {"4294967296", 1}, {"4294967304", 8}, {"-1", 4294967295u}, {"", 8},
  };
  for (const Case& c : cases) {
    const ParametersResult result = ReadWith(c.text, nullptr);
    EXPECT_EQ(result.fault, Fault::kNone) << c.text;
    EXPECT_EQ(result.parameters.divisor, c.expected) << '"' << c.text << '"';
  }
}

TEST(ReadGeometryParameters, ReadsAndNormalisesTheFraction) {
  struct Case {
    const char* text;
    double expected;
  };
  // The documented examples; reciprocals of exact binary fractions are exact.
  const Case cases[] = {
      {"1", 1.0},
      {"3", 3.0},
      {"0,75", std::bit_cast<double>(kDefaultFractionBits)},
      {"1,5", 1.5},
      {"0.5", 2.0},
      {"-2", -0.5},
      {"1e6000", INFINITY},
      {"-1e6000", -0.0},  // 1 / -infinity; fails later, in the dimension search
      {"abc", std::bit_cast<double>(kDefaultFractionBits)},
      {"1,5,0", std::bit_cast<double>(kDefaultFractionBits)},  // only the first comma changes
  };
  for (const Case& c : cases) {
    const ParametersResult result = ReadWith(nullptr, c.text);
    EXPECT_EQ(result.fault, Fault::kNone) << c.text;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(result.parameters.fraction), std::bit_cast<std::uint64_t>(c.expected))
        << '"' << c.text << '"';
  }
}

TEST(ReadGeometryParameters, FailsOnZeroAndOverflowingFractions) {
  struct Case {
    const char* text;
    Fault expected;
  };
  // Zero (however spelt) has no reciprocal; the others leave the double range.
  const Case cases[] = {
      {"0", Fault::kDivisionByZero},  {"-0", Fault::kDivisionByZero},     {".", Fault::kDivisionByZero},
      {"e5", Fault::kDivisionByZero}, {"1e-400", Fault::kDivisionByZero},  // rounds to zero as a double
      {"1e400", Fault::kOverflow},    {"1e-310", Fault::kOverflow},        // 1/F too large
      {"1e5000", Fault::kOverflow},                                        // beyond the extended range while scaling
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadWith("4", c.text).fault, c.expected) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace geometry
