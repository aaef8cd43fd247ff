// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_GEOMETRY_NUMBER_SYNTAX_H_
#define VARNHOLD_GEOMETRY_NUMBER_SYNTAX_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "geometry/fault.h"

namespace geometry {

/// The whole text as a signed 64-bit integer: any leading spaces, at most one
/// sign, then decimal digits whose signed value fits in 64 bits, or hex digits
/// after $, x, X, 0x or 0X taken as a 64-bit pattern (a minus sign negates it
/// modulo 2^64); nothing after the digits. Empty when the text does not match.
std::optional<std::int64_t> ParseInteger(std::string_view text);

struct ParsedNumber {
  double value = 0.0;
  Fault fault = Fault::kNone;  ///< kOverflow when the value exceeds the extended or double range
};

/// The whole text as a decimal number: any leading spaces, an optional sign,
/// digits with an optional "." (digits on either side optional), an optional
/// exponent (E or e, optional sign, at least one digit). Something must follow
/// the spaces and sign. The digits are accumulated in extended precision,
/// scaled by powers of ten and only then rounded to double; a scale of 5120 or
/// more gives infinity and one of -5120 or less gives zero. Empty when the
/// text does not match.
std::optional<ParsedNumber> ParseNumber(std::string_view text);

}  // namespace geometry

#endif  // VARNHOLD_GEOMETRY_NUMBER_SYNTAX_H_
