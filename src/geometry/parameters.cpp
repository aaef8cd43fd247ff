// SPDX-License-Identifier: MIT
#include "geometry/parameters.h"

#include <cstdint>
#include <optional>
#include <string>

#include "geometry/extended.h"
#include "geometry/number_syntax.h"

namespace geometry {
namespace {

// Values are read through a buffer of this many bytes, the terminating zero
// included, so 254 characters is the longest value that arrives whole.
constexpr std::size_t kEnvironmentBufferSize = 255;

}  // namespace

std::string ReadEnvironmentValue(const platform::Environment& environment, const std::string& name) {
  std::optional<std::string> value = environment.Lookup(name);
  if (!value || value->size() >= kEnvironmentBufferSize) return {};
  return *value;
}

ParametersResult ReadGeometryParameters(const platform::Environment& environment) {
  ParametersResult result;

  const std::optional<std::int64_t> divisor = ParseInteger(ReadEnvironmentValue(environment, kDivisorVariable));
  // The value is kept modulo 2^32: the conversion to uint32_t does exactly that.
  result.parameters.divisor = divisor ? static_cast<std::uint32_t>(*divisor) : kDefaultDivisor;
  if (result.parameters.divisor == 0) result.parameters.divisor = 1;

  std::string text = ReadEnvironmentValue(environment, kFractionVariable);
  if (const std::size_t comma = text.find(','); comma != std::string::npos) text[comma] = '.';
  const std::optional<ParsedNumber> parsed = ParseNumber(text);
  if (parsed && parsed->fault != Fault::kNone) {
    result.fault = parsed->fault;
    return result;
  }
  double fraction = parsed ? parsed->value : kDefaultFraction;

  // A limit below 1 means the same as its reciprocal; NaN cannot come out of
  // the parser, but would take this branch too.
  if (!(fraction >= 1.0)) {
    FloatFlags flags;
    fraction = ToDouble(Divide(Extended::FromUnsigned(1), Extended::FromDouble(fraction), flags), flags);
    if (flags.division_by_zero) {
      result.fault = Fault::kDivisionByZero;
      return result;
    }
    if (flags.overflow) {
      result.fault = Fault::kOverflow;
      return result;
    }
  }
  result.parameters.fraction = fraction;
  return result;
}

}  // namespace geometry
