// SPDX-License-Identifier: MIT
// The two parsers of the geometry parameters, each against a reading of the
// same syntax written here independently.
//
// Numbers are compared two ways. Where long double is the x87 extended type
// (64-bit significand, as on x86-64 Linux), the reference repeats the
// documented conversion with the hardware: v := v * 10 + digit, every
// operation rounded to extended, then up to three powers of ten from glibc's
// correctly rounded strtold, then one rounding to double; the parser must
// agree to the bit and on overflow. Independently of that, on any platform,
// the result is compared with strtod's correctly rounded value: for texts of
// up to 254 bytes (the longest value the environment delivers) the extended
// roundings add well under half a unit in the last place, so the two may
// differ by at most one unit in the last place, and not at all when the text
// states an integer below 10^19, which every step holds exactly.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <sstream>
#include <string>

#include "fuzz/checks.h"
#include "geometry/number_syntax.h"

namespace fuzz {
namespace {

// The integer syntax, read one way: spaces, a sign, then a hexadecimal body
// after its prefix or a decimal body; a body past 2^64 - 1 is beyond every limit.
std::optional<std::int64_t> ReferenceInteger(const std::string& text) {
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos) return std::nullopt;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  std::string body = text.substr(i);
  unsigned base = 10;
  for (const char* prefix : {"0x", "0X", "$", "x", "X"}) {
    if (body.rfind(prefix, 0) == 0) {
      body = body.substr(std::strlen(prefix));
      base = 16;
      break;
    }
  }
  if (body.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : body) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / base) return std::nullopt;
    value = value * base + digit;
  }
  const std::uint64_t limit = base == 16 ? std::numeric_limits<std::uint64_t>::max()
                              : negative ? std::uint64_t{1} << 63
                                         : (std::uint64_t{1} << 63) - 1;
  if (value > limit) return std::nullopt;
  std::uint64_t bits = value;
  if (negative) bits = 0 - bits;
  return static_cast<std::int64_t>(bits);
}

// What a number text states, in pieces, or nothing when it does not match.
struct Decimal {
  bool negative = false;
  std::string digits;      // mantissa digits, point removed
  std::int64_t scale = 0;  // exponent minus digits after the point
};

std::optional<Decimal> SplitNumber(const std::string& text) {
  Decimal decimal;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) decimal.negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  std::int64_t fraction_digits = 0;
  bool point = false;
  for (; i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || (text[i] == '.' && !point)); ++i) {
    if (text[i] == '.') {
      point = true;
    } else {
      decimal.digits += text[i];
      fraction_digits += point ? 1 : 0;
    }
  }
  std::int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exponent_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) exponent_negative = text[i++] == '-';
    if (i == text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
      exponent = std::min<std::int64_t>(exponent * 10 + (text[i] - '0'), std::int64_t{1} << 40);
    }
    if (exponent_negative) exponent = -exponent;
  }
  if (i != text.size()) return std::nullopt;
  decimal.scale = exponent - fraction_digits;
  return decimal;
}

constexpr std::int64_t kScaleLimit = 5120;

struct Converted {
  double value;
  bool overflow;
};

// The documented conversion on x87 hardware.
Converted ConvertWithExtendedHardware(const Decimal& decimal) {
  bool overflow = false;
  auto note = [&overflow](long double before, long double after) {
    if (std::isfinite(before) && std::isinf(after)) overflow = true;
    return after;
  };
  long double value = 0;
  for (char digit : decimal.digits) {
    // Two operations, each rounded to extended on its own.
    value = note(value, value * 10.0L);
    value = value + static_cast<long double>(digit - '0');
  }
  if (decimal.scale >= kScaleLimit) {
    value = std::numeric_limits<long double>::infinity();
  } else if (decimal.scale <= -kScaleLimit) {
    value = 0;
  } else {
    const std::int64_t magnitude = decimal.scale < 0 ? -decimal.scale : decimal.scale;
    for (std::int64_t power : {magnitude % 32, 32 * ((magnitude / 32) % 16), 512 * (magnitude / 512)}) {
      const long double factor = std::strtold(("1e" + std::to_string(power)).c_str(), nullptr);
      value = note(value, decimal.scale > 0 ? value * factor : value / factor);
    }
  }
  if (decimal.negative) value = -value;
  const double rounded = static_cast<double>(value);
  if (std::isfinite(value) && std::isinf(rounded)) overflow = true;
  return {rounded, overflow};
}

// Doubles mapped onto consecutive integers, so that neighbours differ by 1
// and infinity lies one step beyond the largest finite value.
std::int64_t Ordinal(double value) {
  std::int64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits < 0 ? -(bits & std::numeric_limits<std::int64_t>::max()) : bits;
}

void CompareWithStrtod(const std::string& text, const Decimal& decimal, double parsed, std::ostream& problems) {
  if (text.size() > 254 || decimal.digits.empty() || std::llabs(decimal.scale) >= kScaleLimit) return;
  errno = 0;
  char* end = nullptr;
  const double correct = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return;  // a form strtod reads differently
  const std::int64_t distance = Ordinal(parsed) - Ordinal(correct);
  if (distance > 1 || distance < -1) {
    problems << "more than one unit in the last place from strtod (" << correct << "); ";
  }
  const std::size_t first = decimal.digits.find_first_not_of('0');
  const std::size_t significant = first == std::string::npos ? 0 : decimal.digits.size() - first;
  if (decimal.scale >= 0 && significant + static_cast<std::size_t>(decimal.scale) <= 19 && distance != 0) {
    problems << "an integer below 10^19 was not converted exactly; ";
  }
}

}  // namespace

std::string CheckIntegerParsing(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::int64_t> parsed = geometry::ParseInteger(text);
  const std::optional<std::int64_t> expected = ReferenceInteger(text);
  if (parsed == expected) return "";
  std::ostringstream problem;
  problem << "integer text parsed as " << (parsed ? std::to_string(*parsed) : "nothing") << ", expected "
          << (expected ? std::to_string(*expected) : "nothing");
  return problem.str();
}

std::string CheckNumberParsing(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<geometry::ParsedNumber> parsed = geometry::ParseNumber(text);
  const std::optional<Decimal> decimal = SplitNumber(text);
  if (parsed.has_value() != decimal.has_value()) {
    return parsed ? "accepted a text outside the syntax" : "refused a text of the syntax";
  }
  if (!parsed) return "";

  std::ostringstream problems;
  problems.precision(17);
  const bool overflow = parsed->fault == geometry::Fault::kOverflow;
  if (parsed->fault != geometry::Fault::kNone && !overflow) problems << "a fault other than overflow; ";
  if constexpr (std::numeric_limits<long double>::digits == 64) {
    const Converted expected = ConvertWithExtendedHardware(*decimal);
    if (expected.overflow != overflow)
      problems << "overflow " << overflow << ", expected " << expected.overflow << "; ";
    if (!overflow && std::memcmp(&expected.value, &parsed->value, sizeof(double)) != 0) {
      problems << "value " << parsed->value << ", the extended hardware gives " << expected.value << "; ";
    }
  }
  if (!overflow) CompareWithStrtod(text, *decimal, parsed->value, problems);
  return problems.str();
}

}  // namespace fuzz
