// SPDX-License-Identifier: MIT
#include "geometry/powers_of_ten.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace geometry {
namespace {

constexpr std::size_t kSmallSteps = 32;   // 10^0 .. 10^31
constexpr std::size_t kMiddleSteps = 16;  // 10^0, 10^32, .. 10^480
constexpr std::size_t kLargeSteps = 10;   // 10^0, 10^512, .. 10^4608 (scales stay below 5120)

// `count` (at most 64) bits starting at `bit_index` of a little-endian multi-word magnitude (0 beyond its end).
std::uint64_t BitsAt(const std::vector<std::uint32_t>& words, std::int64_t bit_index, int count) {
  std::uint64_t bits = 0;
  for (int i = count - 1; i >= 0; --i) {
    const std::int64_t index = bit_index + i;
    std::uint64_t bit = 0;
    if (index >= 0) {
      const auto word = static_cast<std::size_t>(index / 32);
      if (word < words.size()) bit = (words[word] >> (index % 32)) & 1;
    }
    bits = (bits << 1) | bit;
  }
  return bits;
}

struct ScaleTables {
  std::array<Extended, kSmallSteps> small;
  std::array<Extended, kMiddleSteps> middle;
  std::array<Extended, kLargeSteps> large;
};

const ScaleTables& Tables() {
  static const ScaleTables tables = [] {
    ScaleTables t;
    for (std::size_t i = 0; i < kSmallSteps; ++i) t.small[i] = PowerOfTen(static_cast<int>(i));
    for (std::size_t i = 0; i < kMiddleSteps; ++i) t.middle[i] = PowerOfTen(static_cast<int>(32 * i));
    for (std::size_t i = 0; i < kLargeSteps; ++i) t.large[i] = PowerOfTen(static_cast<int>(512 * i));
    return t;
  }();
  return tables;
}

}  // namespace

Extended PowerOfTen(int exponent) {
  // The exact integer 10^exponent, in 32-bit words, least significant first.
  std::vector<std::uint32_t> words{1};
  for (int i = 0; i < exponent; ++i) {
    std::uint64_t carry = 0;
    for (auto& word : words) {
      const std::uint64_t product = std::uint64_t{word} * 10 + carry;
      word = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) words.push_back(static_cast<std::uint32_t>(carry));
  }
  const std::int64_t top_bit = 32 * static_cast<std::int64_t>(words.size()) - std::countl_zero(words.back()) - 1;
  const std::uint64_t hi = BitsAt(words, top_bit - 63, 64);
  const std::uint64_t lo = BitsAt(words, top_bit - 127, 64);
  // Everything below `lo` only matters as "nonzero or not": whole words
  // first, then the bits of the partly covered word.
  bool sticky = false;
  const std::int64_t below = top_bit - 127;  // number of bits under `lo`
  for (std::int64_t word = 0; word < below / 32 && !sticky; ++word) {
    sticky = words[static_cast<std::size_t>(word)] != 0;
  }
  if (below > 0 && !sticky) sticky = BitsAt(words, below / 32 * 32, static_cast<int>(below % 32)) != 0;
  FloatFlags unused;
  return RoundToExtended(false, top_bit, hi, lo, sticky, unused);
}

Extended ScaleByPowerOfTen(const Extended& value, int scale, FloatFlags& flags) {
  const ScaleTables& tables = Tables();
  const auto magnitude = static_cast<std::size_t>(std::abs(scale));
  Extended result = value;
  const auto apply = [&](std::size_t index, const Extended& factor) {
    if (index == 0) return;  // a factor of one changes nothing
    result = scale > 0 ? Multiply(result, factor, flags) : Divide(result, factor, flags);
  };
  apply(magnitude % 32, tables.small[magnitude % 32]);
  apply((magnitude / 32) % 16, tables.middle[(magnitude / 32) % 16]);
  apply(magnitude / 512, tables.large[magnitude / 512]);
  return result;
}

}  // namespace geometry
