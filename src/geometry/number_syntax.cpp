// SPDX-License-Identifier: MIT
#include "geometry/number_syntax.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "geometry/extended.h"
#include "geometry/powers_of_ten.h"

namespace geometry {
namespace {

// Scales at or beyond this magnitude give infinity or zero outright.
constexpr std::int64_t kScaleLimit = 5120;
// Exponent digits beyond this value cannot change the outcome; saturating
// here keeps the arithmetic in range for texts of any length.
constexpr std::int64_t kExponentCeiling = std::int64_t{1} << 50;

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::size_t SkipSpaces(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  return i;
}

// Length of a hexadecimal prefix at the start of `text`, or 0.
std::size_t HexPrefixLength(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) return 2;
  if (text.starts_with("$") || text.starts_with("x") || text.starts_with("X")) return 1;
  return 0;
}

// The digits as a 64-bit magnitude, or nothing if a character is not a digit
// of the base, there is no digit, or the value exceeds `limit`.
std::optional<std::uint64_t> ParseMagnitude(std::string_view digits, bool hexadecimal, std::uint64_t limit) {
  if (digits.empty()) return std::nullopt;
  const std::uint64_t base = hexadecimal ? 16 : 10;
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int digit = hexadecimal ? HexDigitValue(c) : (IsDecimalDigit(c) ? c - '0' : -1);
    if (digit < 0) return std::nullopt;
    if (value > (limit - static_cast<std::uint64_t>(digit)) / base) return std::nullopt;
    value = value * base + static_cast<std::uint64_t>(digit);
  }
  return value;
}

// A decimal text taken apart: the sign, the mantissa (digits with at most
// one point in them) and the power of ten that scales its digits.
struct DecimalText {
  bool negative = false;
  std::string_view mantissa;
  std::int64_t scale = 0;
};

// The syntax of a decimal number; nothing when `text` does not match it.
std::optional<DecimalText> SplitDecimal(std::string_view text) {
  DecimalText decimal;
  std::size_t i = SkipSpaces(text);
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    decimal.negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;

  const std::size_t mantissa_start = i;
  std::int64_t fraction_digits = 0;
  bool after_point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !after_point) {
      after_point = true;
    } else if (IsDecimalDigit(c)) {
      if (after_point) ++fraction_digits;
    } else {
      break;
    }
  }
  decimal.mantissa = text.substr(mantissa_start, i - mantissa_start);

  std::int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exponent_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      exponent_negative = text[i] == '-';
      ++i;
    }
    if (i == text.size() || !IsDecimalDigit(text[i])) return std::nullopt;
    for (; i < text.size() && IsDecimalDigit(text[i]); ++i) {
      if (exponent < kExponentCeiling) exponent = exponent * 10 + (text[i] - '0');
    }
    if (exponent_negative) exponent = -exponent;
  }
  if (i != text.size()) return std::nullopt;
  decimal.scale = exponent - fraction_digits;
  return decimal;
}

// The value of a decimal text: the mantissa digits accumulate as
// value := value * 10 + digit, each operation rounded in extended precision,
// then the scale is applied and the result rounded to double.
ParsedNumber ConvertDecimal(const DecimalText& decimal) {
  FloatFlags flags;
  const Extended ten = Extended::FromUnsigned(10);
  Extended value;
  for (const char c : decimal.mantissa) {
    if (c == '.') continue;
    value = Add(Multiply(value, ten, flags), Extended::FromUnsigned(static_cast<unsigned>(c - '0')), flags);
  }

  if (decimal.scale >= kScaleLimit) {
    value = Extended::Infinity(false);
  } else if (decimal.scale <= -kScaleLimit) {
    value = Extended();
  } else {
    value = ScaleByPowerOfTen(value, static_cast<int>(decimal.scale), flags);
  }
  if (decimal.negative) value = -value;

  ParsedNumber result;
  result.value = ToDouble(value, flags);
  if (flags.overflow) result.fault = Fault::kOverflow;
  return result;
}

}  // namespace

std::optional<std::int64_t> ParseInteger(std::string_view text) {
  text.remove_prefix(SkipSpaces(text));
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  const std::size_t prefix = HexPrefixLength(text);
  std::optional<std::uint64_t> magnitude;
  if (prefix != 0) {
    magnitude = ParseMagnitude(text.substr(prefix), true, UINT64_MAX);
  } else {
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    magnitude = ParseMagnitude(text, false, limit);
  }
  if (!magnitude) return std::nullopt;
  // Negation modulo 2^64, then the bit pattern as a signed value.
  const std::uint64_t bits = negative ? ~*magnitude + 1 : *magnitude;
  return static_cast<std::int64_t>(bits);
}

std::optional<ParsedNumber> ParseNumber(std::string_view text) {
  const std::optional<DecimalText> decimal = SplitDecimal(text);
  if (!decimal) return std::nullopt;
  return ConvertDecimal(*decimal);
}

}  // namespace geometry
